#include "pages/PageBordersWgt.h"

#include "settings_model/MotorSettings.h"
#include "ui_pageborderswgt.h"

#include <climits>

namespace {

// The two "Border" combos always name opposite ends.
void keepOtherEnd(QComboBox* other, int index)
{
    if (other->currentIndex() == index) {
        other->setCurrentIndex(index == 0 ? 1 : 0);
    }
}

} // namespace

PageBordersWgt::PageBordersWgt(QWidget* parent, MotorSettings* settings)
    : ControllerPageWgt(parent, settings), form(new Ui::PageBordersWgtClass)
{
    form->setupUi(this);
    // Fixed texts, not translated.
    for (QComboBox* pushed : {form->pushed1Lst, form->pushed2Lst}) {
        pushed->addItems({QStringLiteral("close"), QStringLiteral("open")});
    }
    for (QComboBox* end : {form->border1Lst, form->border2Lst}) {
        end->addItems({QStringLiteral("left"), QStringLiteral("right")});
    }
    form->border2Lst->setCurrentIndex(1);
    leftBorderBox.setObjectName(QStringLiteral("leftBorderBox"));
    rightBorderBox.setObjectName(QStringLiteral("rightBorderBox"));
    int row = 1;
    for (StepSpinBox* box : {&leftBorderBox, &rightBorderBox}) {
        box->setUnitMode(0, QStringLiteral(" counts"), 0);
        box->setMinimumStep(INT_MIN, 0);
        box->setMaximumStep(INT_MAX, 0);
        form->encoderLayout->addWidget(box, row, 1);
        row += 2;
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &PageBordersWgt::SgnChangeValues);
    }
    setTabOrder(form->encoderBtn, &leftBorderBox);
    setTabOrder(&leftBorderBox, &rightBorderBox);
    setTabOrder(&rightBorderBox, form->switchBtn);
    connect(form->border1Lst, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PageBordersWgt::OnSw1CurChanged);
    connect(form->border2Lst, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PageBordersWgt::OnSw2CurChanged);

    edges_settings_t& edges = settings->edges;
    binder.flagWord(&edges.BorderFlags, FieldBinder::Rebuild);
    binder.flagWord(&edges.EnderFlags, FieldBinder::Rebuild);
    binder.radioGroup({{form->encoderBtn, BORDER_IS_ENCODER}, {form->switchBtn, 0}}, &edges.BorderFlags,
                      BORDER_IS_ENCODER, nullptr);
    binder.flag(form->stopLeftChk, &edges.BorderFlags, BORDER_STOP_LEFT);
    binder.flag(form->stopRightChk, &edges.BorderFlags, BORDER_STOP_RIGHT);
    binder.flag(form->borderMissetChk, &edges.BorderFlags, BORDERS_SWAP_MISSET_DETECTION);
    binder.bitCombo(form->pushed1Lst, &edges.EnderFlags, ENDER_SW1_ACTIVE_LOW, 0);
    binder.bitCombo(form->pushed2Lst, &edges.EnderFlags, ENDER_SW2_ACTIVE_LOW, 0);
    binder.bitCombo(form->border1Lst, &edges.EnderFlags, ENDER_SWAP, 1);
    binder.stepPair(&leftBorderBox, &edges.LeftBorder, &edges.uLeftBorder, FieldBinder::PositionUnit, true);
    binder.stepPair(&rightBorderBox, &edges.RightBorder, &edges.uRightBorder, FieldBinder::PositionUnit, true);
}

PageBordersWgt::~PageBordersWgt()
{
    delete form;
}

void PageBordersWgt::setEngineType(unsigned int engineType)
{
    applyEngineType(engineType);
}

int PageBordersWgt::leftBorderSteps() const
{
    return leftBorderBox.getStep();
}

int PageBordersWgt::rightBorderSteps() const
{
    return rightBorderBox.getStep();
}

void PageBordersWgt::setBorderSteps(int left, int right)
{
    // Whole steps from the slider page; the microsteps stay those of the record, not the box's,
    // which a negative border shows with the opposite sign.
    leftBorderBox.setValue(left, settings->edges.uLeftBorder);
    rightBorderBox.setValue(right, settings->edges.uRightBorder);
}

void PageBordersWgt::OnSw1CurChanged(int index)
{
    keepOtherEnd(form->border2Lst, index);
}

void PageBordersWgt::OnSw2CurChanged(int index)
{
    keepOtherEnd(form->border1Lst, index);
}

void PageBordersWgt::retranslate()
{
    form->retranslateUi(this);
}

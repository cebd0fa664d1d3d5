#ifndef STEPSPINBOX_H
#define STEPSPINBOX_H

#include <QDoubleSpinBox>

#include <optional>

// Edits a stepper position as whole steps plus microsteps ("100 5/256"), or as a whole number,
// or as a decimal value in user units. The spin box's own value is the pair's key
// (step + uStep / 10^digits of uStep), so that its range and arrows work on one number; the
// pair itself is held beside it, because the key alone cannot tell (100, 5) from (100, 50).
class StepSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit StepSpinBox(QWidget* parent = nullptr);

    // Carries whole steps out of the microsteps, gives both parts one sign, clamps to the limits.
    void setValue(int step, int uStep);
    void setValue(double value);
    void setUStep(int uStep);
    // Rescales the held microsteps to the new divisor; a divisor below 1 counts as 1.
    void setStepFactor(int factor);
    void setMinimumStep(int step, int uStep);
    void setMaximumStep(int step, int uStep);
    // 0 whole number, 1 steps and microsteps, 2 decimal user units, unitScale of them to a full
    // step (the limits in steps scale with it). An empty suffix keeps the current one.
    void setUnitMode(int mode, const QString& suffix, int decimals, double unitScale = 1.0);

    int getStep() const;
    int getUStep() const;
    int getStepFactor() const { return stepFactor; }
    // The keys of the limits.
    double minimumStep() const;
    double maximumStep() const;

    // A partly typed value is Intermediate; a plain whole number is that many steps (or user
    // units) and no microsteps.
    QValidator::State validate(QString& text, int& pos) const override;
    // Completes "100 5" to "100 5/256" and drops blanks around the number.
    void fixup(QString& text) const override;
    double valueFromText(const QString& text) const override;
    QString textFromValue(double value) const override;
    void stepBy(int steps) override;

    // A box whose value is a motion target keeps a text that is no value when the editing ends,
    // instead of showing its previous value again, and refuses a number beyond its limits
    // rather than clamp it.
    void setKeepsUnfinishedText(bool keep);
    // Takes the shown text as the value, completed where it can be; false, with the text left
    // as it is, when the text is no value.
    bool commitText();
    // Why commitText refused the shown text, for the owner's message.
    QString whyNoTarget() const;
    // In a target box, the text on show that the box has not taken (refused, or typed and not
    // yet entered); none while the box shows its value. Every change of value, limits or
    // display keeps such a text on show until the operator changes it.
    std::optional<QString> untakenText() const;
    // Shows a text as typed and not taken, or with none the value again: a target moved to
    // another box keeps what its operator left there.
    void showUntakenText(const std::optional<QString>& text);

    // What a box in user units stood for in whole steps when it went into them: its pair and
    // the text it showed untaken. Going back, the owner takes the pair while the box still
    // holds the value it was given then, so that a target nobody touched comes back exactly.
    struct UnitsOrigin
    {
        int step = 0;
        int uStep = 0;
        double value = 0.0;
        std::optional<QString> typed;
        std::optional<QString> typedInUnits;
    };
    std::optional<UnitsOrigin> unitsOrigin() const;
    // Takes an origin over with the value it stands for, as when targets change slots.
    void setUnitsOrigin(const std::optional<UnitsOrigin>& origin);

    // Display mode, read by the owners.
    int unitMode;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    StepEnabled stepEnabled() const override;

private:
    struct Pair
    {
        qint64 step;
        qint64 uStep;
    };

    static double keyOf(const Pair& pair);
    static bool sameKey(double a, double b);
    Pair normalised(qint64 step, qint64 uStep) const;
    Pair clamped(const Pair& pair) const;
    // The pair that the value stands for: the held one, a limit, or for a value set from
    // outside the pair (plain setValue, user units) its whole part.
    Pair pairFor(double value) const;
    bool parsePair(const QString& text, Pair* pair) const;
    QString stripSuffix(const QString& text) const;
    void applyPair(const Pair& pair);
    QValidator::State bodyState(const QString& body) const;
    bool beyondLimits(const QString& text) const;
    // The spin box's own range: the limits' keys, or in user units the limits scaled.
    void applyRange();
    // Whether the text is a value, after completing it.
    bool wholeText(QString* text) const;
    void keepUnfinished(const QString& typed, bool whole);
    // Held through a change of value, limits or display: puts back the untaken text that the
    // change replaced with the value.
    struct KeepUntaken
    {
        explicit KeepUntaken(StepSpinBox& box);
        ~KeepUntaken();
        StepSpinBox& box;
        std::optional<QString> typed;
    };
    // Full steps of a text in the current display, beyond the limits too; false for no number.
    bool fullStepsOf(const QString& text, long double* steps) const;
    QString pairText(const Pair& pair) const;
    QString unitText(double value) const;
    double roundedToDecimals(long double value) const;
    // A target box showing a text that is no value.
    bool showsRefusedText() const;

    // Set by valueFromText, which the spin box calls only to take over an acceptable text.
    mutable Pair held;
    Pair minPair;
    Pair maxPair;
    int stepFactor;
    int unitDecimals;
    double unitsPerStep;
    bool keepsUnfinishedText;
    std::optional<UnitsOrigin> origin;
};

#endif // STEPSPINBOX_H

// Arbitrary bytes as the configuration or profile file that the chart pages restore from (and as
// its defaults file): whatever it holds, the records the pages then store stay within the
// widgets' ranges, and every group is left again.
#include "tests/fuzz/FuzzInput.h"
#include "chartdlg/GraphSettings.h"
#include "common/IniSettings.h"
#include "settingsdlg/GraphPageTable.h"
#include "settingsdlg/PageGraphCommonWgt.h"
#include "settingsdlg/PageGraphWgt.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Pages
{
    GraphSettings graph;
    PageGraphCommonWgt common{nullptr, &graph.common};
    std::vector<std::unique_ptr<PageGraphWgt>> curves;
    Pages()
    {
        for (const GraphPageRow& row : graphPageRows)
            curves.emplace_back(new PageGraphWgt(nullptr, &graph.curves[row.slot], QString::fromLatin1(row.group)));
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("profile.cfg"));
    static Pages pages;
    if (!writeFuzzInput(path, data, size))
        return 0;
    IniSettings file(path);
    for (QSettings* defaults : {static_cast<QSettings*>(nullptr), static_cast<QSettings*>(&file)}) {
        pages.common.RestoreFromFile(&file, defaults);
        pages.common.FromUiToClass();
        const GraphCommonSettings& common = pages.graph.common;
        check(common.dataPoints >= 1 && common.dataPoints <= 3600);
        check(common.updateInterval >= 50 && common.updateInterval <= 60000);
        for (auto& page : pages.curves) {
            page->RestoreFromFile(&file, defaults);
            page->FromUiToClass();
        }
        for (const CurveSettings& curve : pages.graph.curves) {
            check(std::isfinite(curve.pen.widthF()) && curve.pen.widthF() >= 1.0);
            check(curve.pen.style() >= Qt::NoPen && curve.pen.style() <= Qt::DashDotDotLine);
            check(curve.pen.capStyle() == Qt::RoundCap && curve.pen.joinStyle() == Qt::RoundJoin);
            check(curve.min >= -2147480000 && curve.max <= 2147480000);
        }
        check(file.group().isEmpty());
    }
    return 0;
}

// Times a double click on a heading's border over a long list: the list
// (offscreen, in the dialog font) over records made in memory, about 20 files
// a folder up to 6 deep, names of 1 to 80 characters with some Japanese.
// Prints, per column, the median of the runs for the fit as the list makes it
// and for measuring every cell text with the font (QFontMetrics, shaping
// each text), the widths both give, and a sort by name as a yardstick.
//
//   bench_FitColumnBench [ROWS] [RUNS]     (defaults 1000000 and 5)
#include <QApplication>
#include <QHeaderView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/FileListModel.h"
#include "catalogue/CellText.h"
#include "framework/CListCtrl.h"
#include "framework/TemplateDialog.h"
#include "platform/CodePage.h"

using namespace norvane;
using Clock = std::chrono::steady_clock;

namespace {

// splitmix64: the same records on every system.
class Random {
public:
    std::uint64_t Next() {
        std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }

private:
    std::uint64_t m_nState = 20;
};

std::string Name(Random& random, std::size_t nMaxLength) {
    static const char* const kPieces[] = {"a", "e", "i", "o", "u", "n",    "r",    "s",    "t", "l", "W", "M", "_",
                                          "-", " ", ".", "0", "7", "日本", "ﾌｧｲﾙ", "資料", "m", "w", "x", "k"};
    std::string name;
    const std::size_t nLength = 1 + random.Below(nMaxLength);
    while (name.size() < nLength) name += kPieces[random.Below(std::size(kPieces))];
    return name;
}

std::vector<const FileItem*> MakeRecords(FileStore& store, std::size_t nRows) {
    Random random;
    std::vector<const Folder*> folders{store.AddFolder("/tmp/norvane-fit/")};
    std::vector<int> depths{0};
    std::vector<const FileItem*> items;
    items.reserve(nRows);
    while (items.size() < nRows) {
        // A new folder below one of the last hundred, then its files.
        const std::size_t nParent = folders.size() - 1 - random.Below(std::min<std::size_t>(folders.size(), 100));
        const int nDepth = depths[nParent] < 6 ? depths[nParent] + 1 : 1;
        const Folder* pParent = nDepth == 1 ? folders.front() : folders[nParent];
        const Folder* pFolder = store.AddFolder(pParent, Name(random, 24));
        folders.push_back(pFolder);
        depths.push_back(nDepth);
        for (int i = 0; i < 20 && items.size() < nRows; ++i) {
            FileItem* pItem = store.AddItem(Name(random, 80), pFolder);
            pItem->fileSize = random.Next() >> random.Below(64);
            pItem->fileTime = 119600064000000000ULL + random.Below(50ULL * 365 * 24 * 3600) * 10000000ULL;
            items.push_back(pItem);
        }
    }
    return items;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What a fit over every cell measured with the font gives: the widest text's
// cell as the delegate sizes it.
int FitByFontMetrics(CListCtrl& list, int nColumn) {
    const QAbstractItemModel* pModel = list.model();
    const QFontMetrics metrics = list.fontMetrics();
    int nWidest = -1;
    int nWidestRow = 0;
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) {
        const int nWidth = metrics.horizontalAdvance(pModel->index(nRow, nColumn).data().toString());
        if (nWidth > nWidest) {
            nWidest = nWidth;
            nWidestRow = nRow;
        }
    }
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.font = list.font();
    option.fontMetrics = metrics;
    const QModelIndex index = pModel->index(nWidestRow, nColumn);
    return list.itemDelegateForIndex(index)->sizeHint(option, index).width() + 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t nRows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    SetCodePage(kCodePageUtf8);
    QApplication app(argc, argv);

    auto store = std::make_shared<FileStore>();
    const std::vector<const FileItem*> items = MakeRecords(*store, nRows);
    FileListModel model;
    model.Clear(store);
    model.AppendRows(items);
    QWidget window;
    window.resize(1024, 600);
    auto* pList = new CListCtrl(&window);
    pList->setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    pList->setModel(&model);
    pList->setGeometry(0, 0, 1024, 600);
    for (int nColumn = 0; nColumn < kColumnCount; ++nColumn) {
        model.InsertColumn(nColumn, QStringLiteral("Column"), ColumnAlign::kLeft);
        pList->horizontalHeader()->resizeSection(nColumn, 100);
    }
    pList->SetWidestRows(
        [&model](int nColumn, const QFontMetrics& metrics) { return model.WidestRows(nColumn, metrics); });
    window.show();
    QCoreApplication::processEvents();

    std::printf("rows %zu, median of %d runs, seconds\n", nRows, nRuns);
    std::printf("%-10s %10s %12s %8s %10s %12s\n", "column", "fit", "every-text", "ratio", "fit-width", "text-width");
    for (int nColumn : {kColumnFileName, kColumnDateTime, kColumnSize, kColumnDirectory}) {
        std::vector<double> fits, naive;
        int nFit = 0, nNaive = 0;
        for (int nRun = 0; nRun < nRuns; ++nRun) {
            auto start = Clock::now();
            nFit = pList->sizeHintForColumn(nColumn);
            fits.push_back(Seconds(start));
            start = Clock::now();
            nNaive = FitByFontMetrics(*pList, nColumn);
            naive.push_back(Seconds(start));
        }
        std::printf("%-10d %10.3f %12.3f %7.2fx %10d %12d\n", nColumn, Median(fits), Median(naive),
                    Median(fits) / Median(naive), nFit, nNaive);
    }
    std::vector<double> sorts;
    for (int nRun = 0; nRun < nRuns; ++nRun) {
        const auto start = Clock::now();
        model.Sort(kColumnFileName, nRun % 2 != 0);
        sorts.push_back(Seconds(start));
    }
    std::printf("sort-by-name %.3f\n", Median(sorts));
    return 0;
}

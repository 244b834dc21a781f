// Window tests of the dialog layer: dialogs made from the templates, their
// outcomes and keys, data exchange, message maps, message boxes and the list
// control with a million rows.
#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QRawFont>
#include <QRegularExpression>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/ListCtrlModel.h"
#include "framework/MessageBox.h"
#include "res/DialogTemplate.h"
#include "res/Resource.h"
#include "support/ModalDriver.h"

using namespace norvane;
using namespace norvane::test;

namespace {

// The output options template with data exchange and a few handlers.
class OptionsDlg : public CDialog {
public:
    OptionsDlg() : CDialog(IDD_OUTPUT_OPTIONS) {}

    int m_bFileName = 0;
    bool m_bPrefix = false;
    int m_nFormat = 1;
    int m_nNameDisplay = 0;
    std::string m_strPrefix;
    int m_nFileNameClicks = 0;
    int m_nPrefixChanges = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, IDC_CHK_FILENAME, m_bFileName);
        DDX_Check(pDX, IDC_CHK_PREFIX, m_bPrefix);
        DDX_Radio(pDX, IDC_RAD_TEXT, m_nFormat);
        DDX_Radio(pDX, IDC_RAD_NAMEONLY, m_nNameDisplay);
        DDX_Text(pDX, IDC_EDIT_PREFIX, m_strPrefix);
    }
    std::span<const MessageMapEntry> GetMessageMap() const override {
        static const MessageMapEntry kMap[] = {
            {IDC_CHK_FILENAME, BN_CLICKED, &OptionsDlg::OnFileNameCheck},
            {IDC_EDIT_PREFIX, EN_CHANGE, &OptionsDlg::OnPrefixChange},
        };
        return kMap;
    }

private:
    void OnFileNameCheck() { ++m_nFileNameClicks; }
    void OnPrefixChange() { ++m_nPrefixChanges; }
};

int CompareDescending(LPARAM a, LPARAM b, LPARAM) { return a < b ? 1 : a > b ? -1 : 0; }

}  // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("qt.modeltest.debug=false")); }

    // Any warning fails, but those of the offscreen platform about what it
    // cannot do (size hints, raising and keyboard grabs of popups).
    void init() {
        QTest::failOnWarning(QRegularExpression(
            QStringLiteral("^(?!This plugin does not support (propagateSizeHints|raise|grabbing the keyboard)).*")));
    }

    // Every text of every template draws with the substituted Japanese font,
    // and the templates hold together: ids, rectangles. The icon's mask.
    void templatesAndFont() {
        const QFont font = DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
        QCOMPARE(QFontInfo(font).family(), SubstituteFontFamily(QStringLiteral("ＭＳ Ｐゴシック")));
        const QRawFont raw = QRawFont::fromFont(font);
        auto drawable = [&](const char* pszText) {
            const QList<uint> chars = QString::fromUtf8(pszText).toUcs4();
            return std::all_of(chars.begin(), chars.end(), [&](uint c) { return raw.supportsCharacter(c); });
        };
        QVERIFY(drawable(AfxLoadString(IDS_ABOUTBOX).c_str()));
        for (const DialogTemplate* pTemplate : AllDialogTemplates()) {
            QVERIFY2(drawable(pTemplate->pszCaption), pTemplate->pszCaption);
            std::vector<int> ids;
            for (const ControlTemplate& control : pTemplate->controls) {
                QVERIFY2(drawable(control.pszText), control.pszText);
                QVERIFY(control.x >= 0 && control.y >= 0 && control.x + control.cx <= pTemplate->cx &&
                        control.y + control.cy <= pTemplate->cy);
                if (control.nId != IDC_STATIC) ids.push_back(control.nId);
            }
            std::sort(ids.begin(), ids.end());
            QVERIFY(std::adjacent_find(ids.begin(), ids.end()) == ids.end());
        }
        const QImage icon = LoadIconImage(IDR_MAINFRAME);
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(qAlpha(icon.pixel(0, 31)), 0);
        QCOMPARE(qAlpha(icon.pixel(16, 20)), 255);
        QVERIFY(LoadIconImage(12345).isNull());
    }

    // The About box: sized in dialog units of its font, ended by OK, Enter,
    // Esc and the close box with the Windows codes, by EndDialog with its
    // code. Grabbed to PNG. A missing template gives -1.
    void aboutBoxOutcomes() {
        {
            CDialog about(IDD_ABOUTBOX);
            const DialogBaseUnits units = about.GetBaseUnits();
            QVERIFY(units.cx >= 5 && units.cx <= 8 && units.cy >= 11 && units.cy <= 16);
            QCOMPARE(about.size(), QSize(MulDiv(235, units.cx, 4), MulDiv(55, units.cy, 8)));
        }
        struct Case {
            const char* pszHow;
            std::function<void(CDialog*)> fnEnd;
            int nExpected;
        };
        const Case cases[] = {
            {"OK", [](CDialog* d) { QVERIFY(ClickButton(d, IDOK)); }, IDOK},
            {"Enter", [](CDialog* d) { QTest::keyClick(d, Qt::Key_Return); }, IDOK},
            {"Esc", [](CDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }, IDCANCEL},
            {"close box", [](CDialog* d) { d->close(); }, IDCANCEL},
            {"EndDialog", [](CDialog* d) { d->EndDialog(7); }, 7},
        };
        for (const Case& c : cases) {
            CDialog about(IDD_ABOUTBOX);
            ModalDriver driver;
            driver.Then<CDialog>([&](CDialog* d) {
                if (&c == cases) QVERIFY(d->grab().save(OutputPath("template-about-box.png")));
                c.fnEnd(d);
            });
            QCOMPARE(about.DoModal(), c.nExpected);
            QVERIFY2(driver.Finished(), qPrintable(QString::fromUtf8(c.pszHow) + driver.Error()));
            QVERIFY(!about.HasControls());
        }
        CDialog missing(4242);
        QCOMPARE(missing.DoModal(), -1);
    }

    // Values go into the controls and come back after the user changed them:
    // check boxes (also by mnemonic, whose click reaches the handler), both
    // radio groups, Japanese text (each change notified); Enter on a check box
    // is the default button. Checking a radio button unchecks the others of
    // its group, and the program may uncheck the checked one. Enter on a
    // focused push button clicks it: Cancel, after which the members keep
    // their values.
    void dataExchangeRoundTrip() {
        OptionsDlg dlg;
        dlg.m_bFileName = 1;
        dlg.m_nFormat = 2;
        dlg.m_nNameDisplay = 1;
        dlg.m_strPrefix = "前";
        ModalDriver driver;
        driver.Then<OptionsDlg>([](OptionsDlg* d) {
            // Loading the second group leaves the first alone.
            QCOMPARE(d->IsDlgButtonChecked(IDC_RAD_CSV), BST_CHECKED);
            QTest::keyClick(d, Qt::Key_N, Qt::AltModifier);  // File&Name
            QTRY_COMPARE(d->m_nFileNameClicks, 1);
            QTest::mouseClick(d->GetDlgItem(IDC_CHK_PREFIX), Qt::LeftButton);
            QVERIFY(ClickButton(d, IDC_RAD_TEXT));
            const int nChanges = d->m_nPrefixChanges;
            TypeText(d->GetDlgItem(IDC_EDIT_PREFIX), QStringLiteral("ﾌｧｲﾙ名"));
            QCOMPARE(d->m_nPrefixChanges, nChanges + 1);
            QTest::keyClick(d->GetDlgItem(IDC_CHK_PREFIX), Qt::Key_Return);
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_bFileName, 0);
        QCOMPARE(dlg.m_bPrefix, true);
        QCOMPARE(dlg.m_nFormat, 0);
        QCOMPARE(dlg.m_nNameDisplay, 1);
        QCOMPARE(dlg.m_strPrefix, std::string("前ﾌｧｲﾙ名"));

        driver.Then<OptionsDlg>([](OptionsDlg* d) {
            d->CheckDlgButton(IDC_RAD_HTML, BST_CHECKED);
            QCOMPARE(d->IsDlgButtonChecked(IDC_RAD_TEXT), BST_UNCHECKED);
            d->CheckDlgButton(IDC_RAD_HTML, BST_UNCHECKED);
            QCOMPARE(d->IsDlgButtonChecked(IDC_RAD_HTML), BST_UNCHECKED);
            d->GotoDlgCtrl(IDCANCEL);
            QTest::keyClick(d->GetDlgItem(IDCANCEL), Qt::Key_Return);
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_nFormat, 0);
    }

    // Message boxes give the Windows outcomes: Yes is the default of Yes/No,
    // a Yes/No box cannot be escaped, Esc on a lone OK is OK.
    void messageBoxes() {
        ModalDriver driver;
        driver.Then<QMessageBox>([](QMessageBox* box) {
            QTest::keyClick(box, Qt::Key_Escape);
            QVERIFY(box->isVisible());
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(MessageBox(nullptr, "?", "出力先", MB_YESNO), IDYES);
        driver.Then<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(AfxMessageBox("出力する行が選択されていません。", MB_ICONINFORMATION), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // A million rows: one-by-one insertion is announced to the view at once,
    // sorting follows the callback and keeps the selection on its rows, the
    // selected rows are counted and walked in display order, and only the
    // visible cells are asked for. The selection mark: the row of the last
    // click, any number the program sets, the anchor of Shift+click when it
    // names a row; -1 once emptied. Once detached, the view asks for no cell
    // (the owner may then free the records behind the rows).
    void listCtrlMillionRows() {
        constexpr int kRows = 1'000'000;
        QWidget window;
        window.resize(600, 400);
        CListCtrl list;
        QTableView* pView = list.Create(&window, IDC_LIST_FILES);
        pView->setGeometry(0, 0, 600, 400);
        long long nAsked = 0;
        list.SetNotifyHandler([&](NMHDR* pHdr, LRESULT*) {
            if (pHdr->code != LVN_GETDISPINFO) return;
            auto* pInfo = reinterpret_cast<NMLVDISPINFO*>(pHdr);
            ++nAsked;
            std::snprintf(pInfo->item.pszText, 32, "%ld", static_cast<long>(pInfo->item.lParam));
        });
        list.InsertColumn(0, "Value", LVCFMT_RIGHT, 100);
        list.InsertColumn(1, "Other", LVCFMT_LEFT, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kRows; ++i) list.InsertItem(i, static_cast<DWORD_PTR>(i));
        QCoreApplication::processEvents();
        const qint64 nInsertMs = timer.elapsed();
        QCOMPARE(list.GetItemCount(), kRows);
        QCOMPARE(pView->model()->rowCount(), kRows);

        // Select every third row in one go, as a user's many clicks would.
        QItemSelection selection;
        for (int i = 0; i < kRows; i += 3) selection.select(pView->model()->index(i, 0), pView->model()->index(i, 1));
        pView->selectionModel()->select(selection, QItemSelectionModel::Select);
        QCOMPARE(list.GetSelectedCount(), static_cast<UINT>((kRows + 2) / 3));

        timer.restart();
        QVERIFY(list.SortItems(CompareDescending, 0));
        const qint64 nSortMs = timer.elapsed();
        QCOMPARE(list.GetItemData(0), static_cast<DWORD_PTR>(kRows - 1));
        QCOMPARE(list.GetSelectedCount(), static_cast<UINT>((kRows + 2) / 3));
        timer.restart();
        int nWalked = 0;
        DWORD_PTR previous = kRows;
        for (int n = list.GetNextItem(-1, LVNI_SELECTED); n != -1; n = list.GetNextItem(n, LVNI_SELECTED), ++nWalked) {
            const DWORD_PTR value = list.GetItemData(n);
            if (value % 3 != 0 || value >= previous) QFAIL(qPrintable(QStringLiteral("walked row %1 out of order").arg(n)));
            previous = value;
        }
        const qint64 nWalkMs = timer.elapsed();
        QCOMPARE(nWalked, (kRows + 2) / 3);

        nAsked = 0;
        QVERIFY(!pView->grab().isNull());
        QVERIFY(nAsked > 0 && nAsked < 200);
        QCOMPARE(pView->model()->data(pView->model()->index(0, 0)).toString(), QString::number(kRows - 1));

        auto click = [&](int nRow, Qt::KeyboardModifiers mods = {}) {
            QTest::mouseClick(pView->viewport(), Qt::LeftButton, mods, pView->visualRect(pView->model()->index(nRow, 0)).center());
        };
        auto selected = [&] {
            std::vector<int> rows;
            for (int i = list.GetNextItem(-1, LVNI_SELECTED); i != -1; i = list.GetNextItem(i, LVNI_SELECTED)) rows.push_back(i);
            return rows;
        };
        click(3);
        QCOMPARE(list.GetSelectionMark(), 3);
        click(6, Qt::ShiftModifier);
        QCOMPARE(selected(), (std::vector<int>{3, 4, 5, 6}));
        QCOMPARE(list.GetSelectionMark(), 3);
        QCOMPARE(list.SetSelectionMark(1), 3);
        click(4, Qt::ShiftModifier);
        QCOMPARE(selected(), (std::vector<int>{1, 2, 3, 4}));
        // A mark that names no row: Shift+click selects from the click.
        list.SetSelectionMark(kRows);
        click(2, Qt::ShiftModifier);
        QCOMPARE(list.GetSelectionMark(), 2);
        QTest::keyClick(pView, Qt::Key_Down);
        QCOMPARE(list.GetSelectionMark(), 3);
        QTest::keyClick(pView, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(selected(), (std::vector<int>{3, 4}));

        timer.restart();
        list.DeleteAllItems();
        QCOMPARE(list.GetSelectionMark(), -1);
        std::vector<DWORD_PTR> bulk(kRows);
        std::iota(bulk.begin(), bulk.end(), DWORD_PTR{0});
        list.InsertItems(0, bulk);
        QCoreApplication::processEvents();
        const qint64 nBulkMs = timer.elapsed();
        QCOMPARE(list.GetItemCount(), kRows);
        qInfo("1M rows: insert one by one %lld ms, sort %lld ms, walk selection %lld ms, clear and bulk insert %lld ms",
              nInsertMs, nSortMs, nWalkMs, nBulkMs);
        QVERIFY(nInsertMs < 10000 && nSortMs < 10000 && nWalkMs < 10000 && nBulkMs < 10000);

        list.Detach();
        nAsked = 0;
        pView->viewport()->repaint();
        list.Invalidate();
        QCoreApplication::processEvents();
        QVERIFY(!pView->grab().isNull());
        QCOMPARE(nAsked, 0);
        QCOMPARE(pView->model(), nullptr);
        QCOMPARE(list.GetItemCount(), kRows);
    }

    // The model keeps Qt's model rules through every change the list makes.
    void modelRules() {
        QWidget window;
        CListCtrl list;
        list.Create(&window, IDC_LIST_FILES);
        list.SetNotifyHandler([](NMHDR* pHdr, LRESULT*) {
            auto* pInfo = reinterpret_cast<NMLVDISPINFO*>(pHdr);
            if (pHdr->code == LVN_GETDISPINFO) std::snprintf(pInfo->item.pszText, 16, "r%ld", static_cast<long>(pInfo->item.lParam));
        });
        QAbstractItemModelTester tester(list.GetModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.InsertColumn(0, "A");
        list.InsertColumn(1, "B", LVCFMT_RIGHT, 50);
        for (int i = 0; i < 50; ++i) list.InsertItem(0, static_cast<DWORD_PTR>(i * 7 % 13));
        QCoreApplication::processEvents();
        list.InsertItem(10, 99);
        list.SetItemState(5, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        QVERIFY(list.SortItems([](LPARAM a, LPARAM b) { return static_cast<int>(a - b); }));
        QVERIFY(list.DeleteItem(3));
        QVERIFY(!list.DeleteItem(500));
        QCOMPARE(list.InsertItem(-1, 1), -1);
        const int nAppendedAt = list.InsertItem(1000, 1);
        QCOMPARE(nAppendedAt, list.GetItemCount() - 1);
        // An inconsistent comparison still sorts every row safely.
        QVERIFY(list.SortItems([](LPARAM, LPARAM) { return QRandomGenerator::global()->bounded(3) - 1; }));

        // A sort by a computed order: the selection follows its rows, and
        // anything but a permutation (too short, a repeat, out of range)
        // leaves the rows as they were.
        const int nCount = list.GetItemCount();
        std::vector<DWORD_PTR> before;
        for (int i = 0; i < nCount; ++i) before.push_back(list.GetItemData(i));
        list.SetItemState(-1, 0, LVIS_SELECTED);
        list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
        std::vector<int> reversed(before.size());
        std::iota(reversed.rbegin(), reversed.rend(), 0);
        std::vector<int> shifted(before.size());
        std::iota(shifted.begin(), shifted.end(), 1);
        std::reverse(before.begin(), before.end());  // the reversed rows, which the other orders then leave
        for (const std::vector<int>& order : {reversed, std::vector<int>{0, 1}, std::vector<int>(before.size(), 0), shifted}) {
            list.SortItemsByOrder([&](const std::vector<DWORD_PTR>&) { return order; });
            for (int i = 0; i < nCount; ++i) QCOMPARE(list.GetItemData(i), before[static_cast<std::size_t>(i)]);
        }
        QCOMPARE(list.GetSelectedCount(), 1U);
        QCOMPARE(list.GetNextItem(-1, LVNI_SELECTED), nCount - 3);
        list.DeleteAllItems();
    }
};

QTEST_MAIN(FrameworkTest)
#include "FrameworkTest.moc"

// The look of the pages: sizes and places from the layout tables, fonts,
// colours, tab order, and the pointer under the mouse.
#include "TestSupport.h"

#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/HandCursor.h"
#include "ui/PageButton.h"

#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableView>

namespace {

struct Place {
    QWidget* control;
    int left, top, width, height;
};

int px(const QWidget* page, int twips) {
    return qRound(twips * page->logicalDpiX() / 1440.0);
}

void checkLayout(const QWidget* page, int width, int height, const QList<Place>& places) {
    QCOMPARE(page->size(), QSize(px(page, width), px(page, height)));
    QCOMPARE(page->minimumSize(), page->maximumSize());
    for (const Place& place : places) {
        const QRect expected(px(page, place.left), px(page, place.top), px(page, place.width),
                             px(page, place.height));
        QVERIFY2(place.control->geometry() == expected,
                 qPrintable(place.control->objectName() + place.control->accessibleName()));
    }
}

// The focusable controls in the order Tab visits them, from `first`.
QList<QWidget*> tabChain(QWidget* first, int count) {
    QList<QWidget*> chain{first};
    QWidget* next = first->nextInFocusChain();
    while (chain.size() < count && next != first) {
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next;
        next = next->nextInFocusChain();
    }
    return chain;
}

bool isArial(const QFont& font) {
    const QString family = QFontInfo(font).family();
    return family == QStringLiteral("Arial") || family == QStringLiteral("Liberation Sans");
}

struct Database {
    TempDatabase db;
    Database() { db.exec(QStringLiteral("CREATE TABLE T(A, B); INSERT INTO T VALUES (1, 2)")); }
};

// All four pages loaded, the target page on the screen.
struct Pages : Database, WizardDriver {
    Pages() : WizardDriver(db) { connect().chooseTable("T").chooseColumns({"A"}); }
    QList<WizardPage*> all() {
        return {&wizard.form1(), &wizard.form2(), &wizard.form3(), &wizard.form4()};
    }
};

void hover(QWidget* widget, QPoint at = {}) {
    QWidget* window = widget->window();
    for (QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window)
            other->hide();
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mouseMove(window, widget->mapTo(window, at.isNull() ? widget->rect().center() : at));
    QCoreApplication::processEvents();
}

} // namespace

class LookTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QFile::remove(HandCursor::path()); }

    void connectionPageLayout();
    void otherPagesLayout();
    void tabOrderFollowsTheTables();
    void fontsColoursAndIcon();
    void passwordShowsAsterisksAndLabelsNameTheirBoxes();
    void pageButtonActsOncePerPressAndNeverWhenDisabled();
    void pointerFollowsTheHoverRules();
    void busyPointerIsNeverReplaced();
    void cursorFileIsOptionalAndMayBeBroken();
};

void LookTest::connectionPageLayout() {
    Pages p;
    Form1& f = p.wizard.form1();
    checkLayout(&f, 5880, 3060,
                {{f.Label5, 120, 120, 5415, 255},
                 {f.Label2, 240, 525, 1095, 255},
                 {f.Text1, 1320, 480, 3975, 330},
                 {f.Check7, 5380, 480, 375, 375},
                 {f.Label1, 240, 1005, 1095, 255},
                 {f.Text2, 1300, 960, 4455, 330},
                 {f.Label4, 240, 1485, 1095, 255},
                 {f.Text3, 1300, 1440, 4455, 330},
                 {f.Check5, 120, 1920, 4215, 400},
                 {f.Check6, 4420, 1920, 1335, 400},
                 {f.Check1, 120, 2520, 1335, 400},
                 {f.Check2, 1560, 2520, 1335, 400},
                 {f.Check3, 3000, 2520, 1335, 400},
                 {f.Check4, 4420, 2520, 1335, 400}});
    QCOMPARE(f.Label5->text(), QStringLiteral(" Please provide the login information for your "
                                              "Oracle database."));
}

void LookTest::otherPagesLayout() {
    Pages p;
    Form2& t = p.wizard.form2();
    checkLayout(&t, 5880, 2685,
                {{t.Label1, 240, 120, 5415, 255},
                 {t.List1, 120, 480, 5640, 1410},
                 {t.Check1, 120, 2160, 1335, 400},
                 {t.Check2, 1560, 2160, 1335, 400},
                 {t.Check3, 3000, 2160, 1335, 400},
                 {t.Check4, 4440, 2160, 1320, 400}});
    Form3& f = p.wizard.form3();
    checkLayout(&f, 5880, 5100,
                {{f.Label2, 240, 120, 3855, 255},
                 {f.DataGrid1, 120, 480, 5640, 1360},
                 {f.Label1, 240, 2040, 4695, 255},
                 {f.List1, 120, 2400, 2535, 1860},
                 {f.Check5, 2760, 2400, 375, 400},
                 {f.Check6, 2760, 2880, 375, 400},
                 {f.Check7, 2760, 3360, 375, 400},
                 {f.Check8, 2760, 3840, 375, 400},
                 {f.List2, 3240, 2400, 2520, 1860},
                 {f.Check1, 120, 4560, 1335, 400},
                 {f.Check2, 1560, 4560, 1335, 400},
                 {f.Check3, 3000, 4560, 1335, 400},
                 {f.Check10, 4440, 4560, 1320, 400}});
    Form4& n = p.wizard.form4();
    checkLayout(&n, 5880, 4350,
                {{n.Label1, 120, 120, 5295, 735},
                 {n.Text1, 120, 960, 5640, 330},
                 {n.Check1, 120, 1680, 1335, 400},
                 {n.Check2, 1560, 1680, 1335, 400},
                 {n.Check3, 3000, 1680, 1335, 400},
                 {n.Check4, 4440, 1680, 1320, 400},
                 {n.DataGrid1, 120, 2160, 5640, 2055}});
    // The separator lines sit just above the button rows.
    const QList<int> lines{2400, 2040, 4440, 1560};
    const QList<WizardPage*> pages = p.all();
    for (int i = 0; i < pages.size(); ++i) {
        const QFrame* line = nullptr;
        for (const QFrame* frame : pages.at(i)->findChildren<QFrame*>()) {
            if (frame->frameShape() == QFrame::HLine)
                line = frame;
        }
        QVERIFY(line);
        QCOMPARE(line->geometry().center().y(), px(pages.at(i), lines.at(i)));
        QCOMPARE(line->x(), px(pages.at(i), 120));
        QCOMPARE(line->geometry().right() + 1, px(pages.at(i), 5760));
    }
}

void LookTest::tabOrderFollowsTheTables() {
    Pages p;
    Form1& f = p.wizard.form1();
    QCOMPARE(tabChain(f.Text1, 10),
             (QList<QWidget*>{f.Text1, f.Text2, f.Text3, f.Check5, f.Check1, f.Check3, f.Check6,
                              f.Check2, f.Check4, f.Check7}));
    Form2& t = p.wizard.form2();
    QCOMPARE(tabChain(t.List1, 5),
             (QList<QWidget*>{t.List1, t.Check1, t.Check2, t.Check3, t.Check4}));
    Form3& g = p.wizard.form3();
    QCOMPARE(tabChain(g.Check2, 11),
             (QList<QWidget*>{g.Check2, g.Check1, g.List1, g.DataGrid1, g.List2, g.Check5, g.Check6,
                              g.Check7, g.Check8, g.Check3, g.Check10}));
    Form4& n = p.wizard.form4();
    QCOMPARE(tabChain(n.Text1, 6),
             (QList<QWidget*>{n.Text1, n.Check1, n.Check4, n.Check2, n.DataGrid1, n.Check3}));
}

void LookTest::fontsColoursAndIcon() {
    Pages p;
    for (WizardPage* page : p.all()) {
        QCOMPARE(page->palette().color(QPalette::Window), QColor(Qt::white));
        const QImage icon = page->windowIcon().pixmap(32, 32).toImage();
        QCOMPARE(icon.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x)
                QCOMPARE(qAlpha(icon.pixel(x, y)), 0);
        }
        for (const PageButton* button : page->findChildren<PageButton*>()) {
            QVERIFY(button->font().bold());
            QVERIFY(isArial(button->font()));
            QCOMPARE(button->font().pointSizeF(), button->text() == "?" ? 9.0 : 11.25);
            QCOMPARE(button->accessibleName(), button->text());
        }
        for (const QWidget* control : page->findChildren<QWidget*>()) {
            if (qobject_cast<const QLabel*>(control) || qobject_cast<const QLineEdit*>(control) ||
                qobject_cast<const QListWidget*>(control)) {
                QVERIFY(control->font().bold());
                QVERIFY(isArial(control->font()));
                QCOMPARE(control->font().pointSizeF(), 9.0);
                QCOMPARE(control->palette().color(QPalette::Base), QColor(Qt::white));
            }
        }
    }
    QCOMPARE(p.wizard.form3().DataGrid1->font().pointSizeF(), 9.0);
}

void LookTest::passwordShowsAsterisksAndLabelsNameTheirBoxes() {
    Pages p;
    Form1& f = p.wizard.form1();
    f.Text3->setText(QStringLiteral("tiger"));
    QCOMPARE(f.Text3->displayText(), QStringLiteral("*****"));
    QCOMPARE(f.Label2->buddy(), f.Text1);
    QCOMPARE(f.Label1->buddy(), f.Text2);
    QCOMPARE(f.Label4->buddy(), f.Text3);
    QCOMPARE(p.wizard.form2().Label1->buddy(), p.wizard.form2().List1);
    QCOMPARE(p.wizard.form3().Label1->buddy(), p.wizard.form3().List1);
    QCOMPARE(p.wizard.form3().Label2->buddy(), p.wizard.form3().DataGrid1);
    QCOMPARE(p.wizard.form4().Label1->buddy(), p.wizard.form4().Text1);
}

void LookTest::pageButtonActsOncePerPressAndNeverWhenDisabled() {
    QWidget parent;
    PageButton button(QStringLiteral("Next >"), &parent);
    parent.show();
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(!button.isDown());
    QVERIFY(!button.isChecked());
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    button.click();
    QCOMPARE(clicked.count(), 1);
}

void LookTest::pointerFollowsTheHoverRules() {
    Pages p;
    Form1& f = p.wizard.form1();
    f.show();
    hover(f.Check3);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Hand);
    hover(&f, QPoint(2, 2));
    QCOMPARE(f.pointer(), WizardPage::Pointer::Ordinary);
    hover(f.Check5);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Hand);
    hover(f.Text2);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Ordinary);
    // Labels of the connection page leave the pointer as it was.
    hover(f.Check7);
    hover(f.Label5);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Hand);
    // A disabled button takes the bare page's rule.
    hover(f.Check4);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Ordinary);

    Form3& g = p.wizard.form3();
    g.show();
    hover(g.Check8);
    QCOMPARE(g.pointer(), WizardPage::Pointer::Hand);
    hover(g.List1);
    QCOMPARE(g.pointer(), WizardPage::Pointer::Ordinary);
    hover(g.Check7);
    hover(g.Check10); // disabled
    QCOMPARE(g.pointer(), WizardPage::Pointer::Ordinary);
}

void LookTest::busyPointerIsNeverReplaced() {
    Pages p;
    Form1& f = p.wizard.form1();
    f.show();
    f.setPointer(WizardPage::Pointer::Busy);
    for (QWidget* control : std::initializer_list<QWidget*>{f.Check3, f.Text1, f.Check4, &f}) {
        hover(control, control == &f ? QPoint(2, 2) : QPoint());
        QCOMPARE(f.pointer(), WizardPage::Pointer::Busy);
        QCOMPARE(control->cursor().shape(), Qt::WaitCursor);
    }
    f.setPointer(WizardPage::Pointer::Ordinary);
    QCOMPARE(f.Text1->cursor().shape(), Qt::IBeamCursor);
}

void LookTest::cursorFileIsOptionalAndMayBeBroken() {
    HandCursor::load();
    QCOMPARE(HandCursor::cursor().shape(), Qt::ArrowCursor);

    QFile file(HandCursor::path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(HandCursor::fileBytes());
    file.close();
    HandCursor::load();
    QCOMPARE(HandCursor::cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(HandCursor::cursor().hotSpot(), HandCursor::kHotSpot);
    QCOMPARE(HandCursor::cursor().pixmap().size(), QSize(32, 32));
    {
        Pages p;
        Form2& t = p.wizard.form2();
        t.show();
        hover(t.Check2);
        QCOMPARE(t.Check2->cursor().shape(), Qt::BitmapCursor);
    }

    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not a cursor");
    file.close();
    Pages p;
    Form2& t = p.wizard.form2();
    t.show();
    hover(t.Check2);
    QCOMPARE(t.pointer(), WizardPage::Pointer::Hand);
    QCOMPARE(t.Check2->cursor().shape(), Qt::ArrowCursor);
}

VARNOLT_TEST_MAIN(LookTest)
#include "test_look.moc"

// Every window under an English locale: no Japanese text is left anywhere a user sees it, and the
// English texts, longer than the Japanese ones, fit their controls.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <memory>

#include "app/FormMain.h"
#include "app/ModuleMain.h"
#include "app/StoreTexts.h"
#include "app/Translations.h"
#include "base/error.h"
#include "dialogs/FormAbout.h"
#include "store/records/record_values.h"

using namespace pondera;

namespace {

// Characters only a Japanese text has: kana (half-width ones included), kanji, Japanese
// punctuation and full-width letters and digits. The full-width blank and the middle dot are
// layout characters the help text's columns are built from, in every language.
bool isJapanese(QChar c) {
    const char16_t u = c.unicode();
    if (u == 0x3000 || u == 0x30FB) return false;
    return (u >= 0x3001 && u <= 0x303F) || (u >= 0x3040 && u <= 0x30FF) ||
           (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
           (u >= 0xFF01 && u <= 0xFF9F);
}

bool hasJapanese(const QString &text) {
    return std::any_of(text.begin(), text.end(), isJapanese);
}

QString visibleText(const QString &text) {
    QString t = text;
    return t.remove(QLatin1Char('&'));
}

// Problems of one widget tree: Japanese left in a visible text, or a text wider than its control.
class Inspection {
  public:
    void text(const QString &where, const QString &text) {
        if (hasJapanese(text)) problems << where + QStringLiteral(" is not translated: ") + text;
    }
    void fits(const QString &where, int needed, int available) {
        if (needed > available)
            problems << QStringLiteral("%1 is clipped: needs %2 pixels, has %3")
                            .arg(where)
                            .arg(needed)
                            .arg(available);
    }

    void window(QWidget *top) {
        text(top->objectName() + QStringLiteral(" title"), top->windowTitle());
        QList<QWidget *> widgets = top->findChildren<QWidget *>();
        widgets.prepend(top);
        for (QWidget *w : widgets) {
            if (!w->isVisibleTo(top)) continue;
            const QString where = QString::fromLatin1(w->metaObject()->className()) +
                                  QLatin1Char(' ') + w->objectName();
            text(where + QStringLiteral(" tool tip"), w->toolTip());
            if (auto *label = qobject_cast<QLabel *>(w)) this->label(where, label);
            if (auto *button = qobject_cast<QAbstractButton *>(w)) this->button(where, button);
            if (auto *box = qobject_cast<QLineEdit *>(w)) lineEdit(where, box);
            if (auto *edit = qobject_cast<QTextEdit *>(w)) textEdit(where, edit);
            if (auto *group = qobject_cast<QGroupBox *>(w)) {
                text(where, group->title());
                fits(where, group->fontMetrics().horizontalAdvance(group->title()) + 16,
                     group->width());
            }
            if (auto *menu = qobject_cast<QMenu *>(w)) text(where, menu->title());
        }
        for (QAction *action : top->findChildren<QAction *>())
            text(QStringLiteral("menu item ") + action->objectName(), action->text());
    }

    QStringList problems;

  private:
    void label(const QString &where, QLabel *label) {
        text(where, label->text());
        if (label->text().isEmpty()) return;
        const QRect room = label->contentsRect();
        const QFontMetrics fm = label->fontMetrics();
        if (label->wordWrap()) {
            const QRect needed =
                fm.boundingRect(room, int(label->alignment()) | Qt::TextWordWrap, label->text());
            fits(where + QStringLiteral(" (height)"), needed.height(), room.height());
        } else {
            fits(where, fm.horizontalAdvance(label->text()), room.width());
        }
    }
    void button(const QString &where, QAbstractButton *button) {
        text(where, button->text());
        // The landmark buttons are narrower than any caption by design and show none.
        if (button->objectName().startsWith(QLatin1String("OptionLandMark"))) return;
        const int textWidth = button->fontMetrics().horizontalAdvance(visibleText(button->text()));
        QStyle *style = button->style();
        int chrome = 0;
        if (qobject_cast<QRadioButton *>(button)) {
            chrome = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, button) +
                     style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, button);
        } else {
            chrome = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                          style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        }
        fits(where, textWidth + chrome, button->width());
    }
    void lineEdit(const QString &where, QLineEdit *box) {
        text(where, box->text());
        text(where + QStringLiteral(" placeholder"), box->placeholderText());
        // Boxes the program fills with its own words; those holding the user's data (picture
        // path, ...) are editable and scroll.
        if (!box->isReadOnly()) return;
        const QMargins margins = box->textMargins();
        const int room = box->contentsRect().width() - margins.left() - margins.right() - 4;
        fits(where, box->fontMetrics().horizontalAdvance(box->text()), room);
    }
    void textEdit(const QString &where, QTextEdit *edit) {
        const QTextDocument *doc = edit->document();
        text(where, doc->toPlainText());
        // Laid out as the Japanese text is: every line on one line, all of them in the box.
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            if (block.layout() && block.layout()->lineCount() > 1)
                problems << where + QStringLiteral(" wraps the line: ") + block.text();
        fits(where + QStringLiteral(" (height)"), int(doc->size().height()),
             edit->viewport()->height());
    }
};

void showAndWait(QWidget &w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

}  // namespace

class EnglishInterfaceTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir_->path()));
        messages_.clear();
    }
    void cleanup() {
        QDir::setCurrent(QDir::tempPath());
        dir_.reset();
    }

    void theEnglishTranslationIsLoaded() {
        QCOMPARE(TranslationFor(QLocale::system(), TranslationFolders()),
                 QStringLiteral("pondera2d_en"));
        QCOMPARE(FormAbout::tr("ｼｽﾃﾑ情報(&S)..."), QStringLiteral("&System Info"));
    }

    // Japanese for Japanese and the C locale, the installed translation for its language, English
    // for any other language.
    void translationByLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("file");
        QTest::newRow("C") << "C"
                           << "";
        QTest::newRow("Japanese") << "ja_JP"
                                  << "";
        QTest::newRow("US English") << "en_US"
                                    << "pondera2d_en";
        QTest::newRow("British English") << "en_GB"
                                         << "pondera2d_en";
        QTest::newRow("German, no file of its own") << "de_DE"
                                                    << "pondera2d_en";
    }
    void translationByLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, file);
        QCOMPARE(TranslationFor(QLocale(locale), TranslationFolders()), file);
    }

    // Every window the main window opens, and the main window itself.
    void everyWindowIsEnglishAndFits() {
        Inspection inspect;
        FormMainHooks hooks;
        hooks.message = [this](const QString &text) { messages_ << text; };
        hooks.chooseFile = [](QWidget *) { return QString(); };
        hooks.runDialog = [&inspect](QDialog &dialog) {
            showAndWait(dialog);
            inspect.window(&dialog);
            return int(QDialog::Rejected);
        };
        CurIDCode = -1;
        FormMain form(hooks);
        QVERIFY(form.IsLoaded());
        showAndWait(form);
        form.ShowNotices();
        inspect.window(&form);
        form.Load_Click();
        form.Information_Click();
        form.About_Click();
        auto picture = form.MakePictureDialog(&form);
        inspect.text(QStringLiteral("picture dialog title"), picture->windowTitle());
        for (const QString &filter : picture->nameFilters())
            inspect.text(QStringLiteral("picture dialog filter"), filter);
        for (const QString &problem : inspect.problems)
            qWarning("%s", qPrintable(problem));
        QVERIFY(inspect.problems.isEmpty());
        form.close();
    }

    // Messages of the main window, each brought about as a user would.
    void messagesAreEnglish() {
        FormMainHooks hooks;
        hooks.message = [this](const QString &text) { messages_ << text; };
        QStringList files{QString(), QDir::current().filePath(QStringLiteral("gone.jpg"))};
        hooks.chooseFile = [&files](QWidget *) { return files.takeFirst(); };
        CurIDCode = -1;
        FormMain form(hooks);
        QVERIFY(form.IsLoaded());
        form.Load_Picture_Click();  // cancelled
        form.Load_Picture_Click();  // a picture file that is not there
        CurIDCode = 999;            // no such record
        form.TextIDCode_Change();
        QCOMPARE(messages_.size(), 3);
        for (const QString &m : messages_)
            QVERIFY2(!hasJapanese(m), qPrintable(m));
        form.close();
    }

    // The store words its sentences itself; each kind it raises or reports reaches the user in
    // English, with its parts (cell, value, file) kept.
    void storeSentencesAreEnglish() {
        using store::CellValue;
        const std::vector<std::function<void()>> failures{
            [] { store::cellToInt16(CellValue::str("abc"), "ID", 5, 3); },
            [] { store::cellToInt16(CellValue::real(1e9), "ID", 5, 3); },
            [] { store::cellToSingle(CellValue::real(1e300), "COGS", 5, 2); },
            [] { store::cellToSingle(CellValue::error(7), "LANDMARK", 5, 2); },
            [] { store::cellToText(CellValue::error(7), "ID", 5, 2); },
        };
        for (const auto &fail : failures) {
            try {
                fail();
                QFAIL("the conversion did not fail");
            } catch (const Error &e) {
                const QString shown = StoreText(e.what());
                QVERIFY2(!hasJapanese(shown), qPrintable(shown));
                QVERIFY2(shown.contains(QRegularExpression(QStringLiteral("[BC]5"))),
                         qPrintable(shown));
            }
        }
        // A workbook that cannot be read is moved aside at start, and the user is told.
        QFile broken(QStringLiteral("PONDERA2D_2010.xls"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a workbook");
        broken.close();
        FormMainHooks hooks;
        hooks.message = [this](const QString &text) { messages_ << text; };
        CurIDCode = -1;
        FormMain form(hooks);
        QVERIFY(form.IsLoaded());
        form.ShowNotices();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(!hasJapanese(messages_[0]), qPrintable(messages_[0]));
        QVERIFY2(messages_[0].contains(QLatin1String("PONDERA2D_2010.unreadable-")),
                 qPrintable(messages_[0]));
        form.close();
    }

    void aboutWindowsMessageIsEnglish() {
        struct NoTool : ProgramLauncher {
            bool FileExists(const QString &) override { return false; }
            bool Start(const QString &) override { return false; }
            QString FindFallbackTool() override { return {}; }
        };
        QString shown;
        SysInfoServices services{std::make_shared<EmptyRegistry>(), std::make_shared<NoTool>(),
                                 [&shown](QWidget *, const QString &text) { shown = text; }};
        FormAbout about(services);
        about.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"))->click();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(!hasJapanese(shown), qPrintable(shown));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QStringList messages_;
};

int main(int argc, char **argv) {
    // The locale a user in an English-speaking country has, set before Qt reads it.
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "en_US.UTF-8");
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    InstallTranslations();
    EnglishInterfaceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "english_interface_test.moc"

// FormMain: building the window from the layout table, its menus, placing the controls as the
// window is resized, and the keys and focus changes it watches.
#include <QAction>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <QTimer>

#include "app/FormMain.h"
#include "app/MainControls.h"
#include "app/PictureView.h"
#include "app/StatusPanel.h"

namespace pondera {

void FormMain::buildMenus() {
    struct Item {
        QAction **slot;
        const char *name;
        const char *caption;
        Qt::Key key;
        void (FormMain::*handler)();
    };
    const auto addMenu = [this](const char *name, std::initializer_list<Item> items) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(name));
        menu->setObjectName(QString::fromUtf8(name));
        for (const Item &item : items) {
            QAction *action = menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(QString::fromUtf8(item.name));
            action->setShortcut(QKeySequence(Qt::CTRL | item.key));
            action->setShortcutContext(Qt::WindowShortcut);
            connect(action, &QAction::triggered, this, [this, h = item.handler] { (this->*h)(); });
            *item.slot = action;
            shortcutActions_.push_back(action);
        }
    };
    addMenu("Project", {{&MenuNew_, "New", "New(&N)", Qt::Key_N, &FormMain::New_Click},
                        {&MenuLoad_, "Load", "Load(&L)", Qt::Key_L, &FormMain::Load_Click},
                        {&MenuQuit_, "Quit", "Quit(&Q)", Qt::Key_Q, &FormMain::Quit_Click}});
    addMenu("Picture", {{&MenuLoad_Picture_, "Load_Picture", "Load Picture(&P)", Qt::Key_P,
                         &FormMain::Load_Picture_Click},
                        {&MenuDetect_Landmarks_, "Detect_Landmarks", "Detect Landmarks(&D)",
                         Qt::Key_D, &FormMain::Detect_Landmarks_Click}});
    addMenu("Help", {{&MenuInformation_, "Information", "Information(&I)", Qt::Key_I,
                      &FormMain::Information_Click},
                     {&MenuAbout_, "About", "About(&V)", Qt::Key_V, &FormMain::About_Click}});
}

void FormMain::buildControls() {
    for (const ControlSpec &entry : MainWindowControls()) {
        QWidget *parent = entry.parent.empty()
                              ? static_cast<QWidget *>(this)
                              : findChild<QWidget *>(QString::fromStdString(entry.parent));
        QWidget *control = MakeControl(entry, parent);
        control->setObjectName(QString::fromStdString(entry.name));
        if (entry.kind == ControlKind::Client) setCentralWidget(control);
    }
    const auto get = [this]<typename T>(T *&slot, const QString &name) {
        slot = findChild<T *>(name);
        Q_ASSERT(slot);
    };
    const auto at = [](const char *name, int i) {
        return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
    };
    get(Picture1_, QStringLiteral("Picture1"));
    get(Frame1_, QStringLiteral("Frame1"));
    get(Frame2_, QStringLiteral("Frame2"));
    get(TextIDCode_, QStringLiteral("TextIDCode"));
    get(TextPICTURENAME_, QStringLiteral("TextPICTURENAME"));
    get(TextMEMO_, QStringLiteral("TextMEMO"));
    get(LabelLandMark_, QStringLiteral("LabelLandMark(22)"));
    get(LabelX_, QStringLiteral("LabelX(23)"));
    get(LabelZ_, QStringLiteral("LabelZ(23)"));
    get(TextCOG_, QStringLiteral("TextCOG"));
    get(TextCOGX_, QStringLiteral("TextCOGX"));
    get(TextCOGZ_, QStringLiteral("TextCOGZ"));
    for (int i = 0; i < 2; ++i)
        get(OptionSex_[i], at("OptionSex", i));
    for (int n = 0; n < kLandMarks; ++n) {
        get(OptionLandMark_[n], at("OptionLandMark", n));
        get(TextLandMark_[n], at("TextLandMark", n));
        get(TextX_[n], at("TextX", n));
        get(TextZ_[n], at("TextZ", n));
    }
    Frame1_->setEnabled(false);  // until the first record is shown
    Picture1_->raise();
    centralWidget()->installEventFilter(this);
    placeControls();
}

// Places every control as the layout table says. Room beyond the designed client area goes to
// the picture area; the memo and the landmark table keep their places at the right edge.
void FormMain::placeControls() {
    const QSize designed(scale_.pixels(kClientWidthTwips), scale_.pixels(kClientHeightTwips));
    const QSize extra = (centralWidget()->size() - designed).expandedTo(QSize(0, 0));
    for (const ControlSpec &entry : MainWindowControls()) {
        if (entry.kind == ControlKind::Client) continue;
        QRect rect = scale_.rect(entry);
        if (entry.name == "Frame1" || entry.name == "Picture1") rect.setSize(rect.size() + extra);
        if (entry.name == "Frame2" || entry.name == "TextMEMO") rect.translate(extra.width(), 0);
        findChild<QWidget *>(QString::fromStdString(entry.name))->setGeometry(rect);
    }
}

void FormMain::connectControls() {
    for (int i = 0; i < 2; ++i)
        connect(OptionSex_[i], &QRadioButton::clicked, this,
                [this, i] { OptionSex_Click(static_cast<int16_t>(i)); });
    for (int n = 0; n < kLandMarks; ++n)
        connect(OptionLandMark_[n], &QRadioButton::clicked, this,
                [this, n] { OptionLandMark_Click(static_cast<int16_t>(n)); });
    connect(Picture1_, &PictureView::mouseDown, this,
            [this](int button, int shift, float x, float y) {
                Picture1_MouseDown(static_cast<int16_t>(button), static_cast<int16_t>(shift), x, y);
            });
    connect(TextMEMO_, &QPlainTextEdit::textChanged, this, [this] {
        if (fillingMemo_) return;
        memoDirty_ = true;
        limitMemo();
        // Asked once the keystroke is through, so the box is not refilled under its own edit.
        if (!demoCopyAsked_ && StatusPanel::IsDemoCode(memoCode_))
            QTimer::singleShot(0, this, [this] { command([this] { offerDemoCopy(true); }); });
    });
    TextMEMO_->installEventFilter(this);
    for (QLineEdit *box : findChildren<QLineEdit *>())
        box->installEventFilter(this);
}

namespace {

// The keys a text box edits with (paste, copy, cut, undo, redo, select all): while a box has the
// focus they are its own, whatever menu shares them.
bool isEditingKey(const QKeyEvent *key) {
    for (const QKeySequence::StandardKey k :
         {QKeySequence::Paste, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Undo,
          QKeySequence::Redo, QKeySequence::SelectAll})
        if (key->matches(k)) return true;
    return false;
}

}  // namespace

bool FormMain::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Text boxes claim keys such as Ctrl+N for themselves; the menu shortcuts of this window
        // come first wherever the focus is, so leave the key to the shortcut map. Only the keys
        // the box edits with stay the box's.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isEditingKey(key)) return QMainWindow::eventFilter(watched, event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction *action : shortcutActions_) {
            if (action->shortcuts().contains(pressed)) {
                event->ignore();
                return true;
            }
        }
    } else if (event->type() == QEvent::Resize && watched == centralWidget()) {
        placeControls();
    } else if (event->type() == QEvent::FocusOut && watched == TextMEMO_) {
        if (memoDirty_) command([this] { storeMemo(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace pondera

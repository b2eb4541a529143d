#include "dialogs/DialogLoad.h"

#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QStringList>
#include <QStringListModel>

#include "base/error.h"
#include "dialogs/FontScale.h"

namespace pondera {

namespace {

// Layout in pixels (15 twips each) of the client area and its controls.
constexpr QSize kClientSize{596, 213};
constexpr QPoint kScreenPos{184, 250};
constexpr QRect kOKButtonRect{512, 8, 81, 25};
constexpr QRect kCancelButtonRect{512, 40, 81, 25};
constexpr QRect kListRect{8, 8, 497, 184};

}  // namespace

DialogLoad::DialogLoad(LoadListSource &source, int16_t &curIDCode, QWidget *parent)
    : QDialog(parent), curIDCode_(curIDCode) {
    BuildWindow();
    Form_Load(source);
}

QString DialogLoad::EntryText(int16_t code, int16_t sex, const std::string &pictureName) {
    return QString::number(code) + QLatin1Char(' ') + QString::number(sex) + QLatin1Char(' ') +
           QString::fromStdString(pictureName);
}

void DialogLoad::BuildWindow() {
    setWindowTitle(QStringLiteral("Load"));
    // Fixed dialog border: a close box, nothing to minimise, maximise or resize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const double scale = FontScale(font());
    setFixedSize(Scaled(kClientSize, scale));
    move(Scaled(kScreenPos, scale));

    OKButton_ = new QPushButton(QStringLiteral("OK"), this);
    OKButton_->setObjectName(QStringLiteral("OKButton"));
    OKButton_->setGeometry(Scaled(kOKButtonRect, scale));

    CancelButton_ = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    CancelButton_->setObjectName(QStringLiteral("CancelButton"));
    CancelButton_->setGeometry(Scaled(kCancelButtonRect, scale));

    // QDialog would otherwise promote the first button to the default button when it is shown.
    for (QPushButton *button : {OKButton_, CancelButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    entries_ = new QStringListModel(this);
    ListProject_ = new QListView(this);
    ListProject_->setObjectName(QStringLiteral("ListProject"));
    ListProject_->setGeometry(Scaled(kListRect, scale));
    ListProject_->setSelectionMode(QAbstractItemView::SingleSelection);
    ListProject_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // A double click only selects; the entries are not editable.
    ListProject_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every entry is one line of the same height, which keeps tens of thousands of entries cheap.
    ListProject_->setUniformItemSizes(true);
    ListProject_->setModel(entries_);
    ListProject_->installEventFilter(this);
    connect(ListProject_, &QListView::doubleClicked, this,
            [this](const QModelIndex &index) { openEntry(index.row()); });

    setTabOrder(OKButton_, CancelButton_);
    setTabOrder(CancelButton_, ListProject_);
    OKButton_->setFocus();

    connect(OKButton_, &QPushButton::clicked, this, &DialogLoad::OKButton_Click);
    connect(CancelButton_, &QPushButton::clicked, this, &DialogLoad::CancelButton_Click);
}

void DialogLoad::Form_Load(LoadListSource &source) {
    // Each bound is read once, largest first; codes are 16-bit, so the loop runs in a wider type
    // and stops at the largest code even when that is 32767.
    const int16_t maxCode = source.GetCodeMaxNum();
    const int16_t minCode = source.GetCodeMinNum();
    QStringList lines;
    if (maxCode >= minCode) lines.reserve(maxCode - minCode + 1);
    for (int code = minCode; code <= maxCode; ++code) {
        const auto code16 = static_cast<int16_t>(code);
        try {
            source.SetCurCode(code16);
        } catch (const Error &e) {
            // One unreadable sex cell must not hide every record: that entry shows the cell as
            // it stands.
            if (e.number() != kErrTypeMismatch) throw;
            problems_ << QString::fromStdString(e.what());
            lines.append(QString::number(code) + QLatin1Char(' ') +
                         QString::fromStdString(source.GetCurSexText()) + QLatin1Char(' ') +
                         QString::fromStdString(source.GetCurPictureName()));
            continue;
        }
        const int16_t sex = source.GetCurSex();
        const std::string name = source.GetCurPictureName();
        lines.append(EntryText(code16, sex, name));
    }
    entries_->setStringList(lines);
    ListProject_->clearSelection();
    // Show where the record on screen lies without choosing it: OK still needs a choice.
    const int shown = curIDCode_ - minCode;
    if (maxCode >= minCode && shown >= 0 && shown < lines.size()) {
        const QModelIndex index = entries_->index(shown, 0);
        ListProject_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        ListProject_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

void DialogLoad::openEntry(int row) {
    if (row < 0 || row >= entries_->rowCount()) return;
    curIDCode_ = static_cast<int16_t>(row);
    accept();
}

bool DialogLoad::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ListProject_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            const QModelIndex current = ListProject_->currentIndex();
            if (current.isValid()) openEntry(current.row());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogLoad::OKButton_Click() {
    const QModelIndexList selected = ListProject_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        // Nothing chosen: keep the record that is shown rather than hand back "no record".
        CancelButton_Click();
        return;
    }
    curIDCode_ = static_cast<int16_t>(selected.first().row());
    accept();
}

void DialogLoad::CancelButton_Click() {
    reject();
}

void DialogLoad::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // No default button: Enter presses the button that has the focus and nothing else.
            if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
                button->click();
                event->accept();
            } else {
                event->ignore();
            }
            return;
        default:
            // Esc rejects, like Cancel: the dialog has no cancel button, and a key that closes
            // without choosing is the harmless reading of it.
            QDialog::keyPressEvent(event);
    }
}

}  // namespace pondera

#include "app/MainControls.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "app/PictureView.h"

namespace pondera {

namespace {

QLineEdit *makeBox(QWidget *parent, Qt::Alignment align, bool readOnly) {
    auto *box = new QLineEdit(parent);
    box->setAlignment(align | Qt::AlignVCenter);
    box->setReadOnly(readOnly);
    SetBackground(box, SystemColour(15));
    return box;
}

}  // namespace

// Colours by the system colour index the window's layout is described with.
QColor SystemColour(int index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
        case 5:
            return palette.color(QPalette::Base);
        case 8:
            return palette.color(QPalette::Text);
        case 14:
            return palette.color(QPalette::HighlightedText);
        default:
            return palette.color(QPalette::Button);  // 15, button face
    }
}

void SetBackground(QWidget *widget, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

// Creates one control of the layout table inside its container.
QWidget *MakeControl(const ControlSpec &entry, QWidget *parent) {
    const QString caption = QString::fromStdString(entry.caption);
    switch (entry.kind) {
        case ControlKind::Client:
            return new QWidget(parent);
        case ControlKind::Frame:
            return new QGroupBox(caption, parent);
        case ControlKind::IdBox:
        case ControlKind::NameBox: {
            auto *box = new QLineEdit(caption, parent);
            box->setFrame(false);
            // The picture name changes through Load Picture only; typing could never be stored.
            box->setReadOnly(entry.kind == ControlKind::NameBox);
            SetBackground(box, SystemColour(15));
            return box;
        }
        case ControlKind::MemoBox: {
            auto *memo = new QPlainTextEdit(caption, parent);
            SetBackground(memo, SystemColour(14));
            return memo;
        }
        case ControlKind::Option:
            return new QRadioButton(caption, parent);
        case ControlKind::Label: {
            auto *label = new QLabel(caption, parent);
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setLineWidth(1);
            label->setAlignment(Qt::AlignCenter);
            return label;
        }
        case ControlKind::TableBox:
            return makeBox(parent, Qt::AlignRight, true);
        case ControlKind::TableName:
            return makeBox(parent, Qt::AlignHCenter, true);
        case ControlKind::Picture:
            return new PictureView(parent);
    }
    return nullptr;
}

}  // namespace pondera

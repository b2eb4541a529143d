#include "app/ResultsPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include "report/ResultTexts.h"

namespace pondera {

ResultsPanel::ResultsPanel(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ResultsPanel"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(16);
    const auto make = [&](const char *name) {
        auto *label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
        return label;
    };
    LabelCOG = make("LabelResultCOG");
    LabelStature = make("LabelResultStature");
    LabelBase = make("LabelResultBase");
    LabelPlaced = make("LabelResultPlaced");
    layout->addStretch(1);
    LabelNote = make("LabelResultNote");
    noteTimer_ = new QTimer(this);
    noteTimer_->setSingleShot(true);
    noteTimer_->setInterval(8000);
    connect(noteTimer_, &QTimer::timeout, LabelNote, &QLabel::clear);
}

void ResultsPanel::ShowNote(const QString &text) {
    LabelNote->setText(text);
    noteTimer_->start();
}

void ResultsPanel::Show(const report::Results &results) {
    LabelCOG->setText(report::cogText(results));
    LabelStature->setText(report::statureText(results.balance));
    LabelBase->setText(report::baseText(results.balance));
    LabelPlaced->setText(report::placedText(results.balance));
    // An incomplete set of landmarks makes every figure provisional: say so where it shows.
    LabelPlaced->setStyleSheet(results.balance.Complete() ? QString()
                                                          : QStringLiteral("color: #a00000;"));
}

void ResultsPanel::Clear() {
    for (QLabel *label : {LabelCOG, LabelStature, LabelBase, LabelPlaced})
        label->clear();
}

}  // namespace pondera

// The main window's results: the results row, the base of support in the overlay, and the menu
// items that export and print. Kept apart from the window's own controls so each stays small.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/ExportCommands.h"
#include "app/FormMain.h"
#include "app/PictureView.h"
#include "app/ResultsPanel.h"
#include "report/RecordData.h"

namespace pondera {

namespace {

const QColor kBaseColour(0, 140, 60);

}  // namespace

void FormMain::buildResults() {
    // The results get a row of their own under the client area: the status bar below it is
    // taken by the landmark guidance, the placed count and the pointer position.
    Results_ = new ResultsPanel(this);
    resultsBar_ = new QToolBar(this);
    resultsBar_->setObjectName(QStringLiteral("ResultsBar"));
    resultsBar_->setMovable(false);
    resultsBar_->setFloatable(false);
    resultsBar_->toggleViewAction()->setEnabled(false);
    resultsBar_->addWidget(Results_);
    addToolBar(Qt::BottomToolBarArea, resultsBar_);

    ExportContext context;
    context.owner = this;
    context.shownRecord = [this] { return session_->ShownData(); };
    context.shownPicture = [this] { return Picture1_->Picture(); };
    context.allRecords = [this] { return session_->AllRecords(); };
    context.chooseSaveFile = hooks_.chooseSaveFile;
    context.choosePrinter = hooks_.choosePrinter;
    context.error = [this](int number, const QString &sentence, const QString &detail) {
        showError(number, sentence, detail);
    };
    context.done = [this](const QString &text) { Results_->ShowNote(text); };
    context.drawBase = [this] { return MenuShow_Base_->isChecked(); };
    exports_ = std::make_unique<ExportCommands>(std::move(context));

    const auto add = [this](QMenu *menu, QAction *before, const char *name, const char *caption,
                            void (ExportCommands::*run)()) {
        auto *action = new QAction(QString::fromUtf8(caption), menu);
        action->setObjectName(QString::fromUtf8(name));
        menu->insertAction(before, action);
        // Under the window's command trap: the memo being typed is stored first, so the export
        // shows it, and it is committed like every other change.
        connect(action, &QAction::triggered, this, [this, run] {
            if (!session_ || !session_->IsShown()) return;
            command([this, run] {
                storeMemo();
                (exports_.get()->*run)();
            });
        });
        return action;
    };
    // The exports sit between the record commands and Quit.
    QMenu *project = menuBar()->findChild<QMenu *>(QStringLiteral("Project"));
    project->insertSeparator(MenuQuit_);
    add(project, MenuQuit_, "Export_CSV", "Export CSV...", &ExportCommands::ExportCsv);
    add(project, MenuQuit_, "Report_PDF", "Report (PDF)...", &ExportCommands::ReportPdf);
    add(project, MenuQuit_, "Print", "Print...", &ExportCommands::Print);
    project->insertSeparator(MenuQuit_);

    QMenu *picture = menuBar()->findChild<QMenu *>(QStringLiteral("Picture"));
    picture->addSeparator();
    add(picture, nullptr, "Save_Annotated_Picture", "Save Annotated Picture...",
        &ExportCommands::SaveAnnotatedPicture);
    MenuShow_Base_ = picture->addAction(QStringLiteral("Base of Support"));
    MenuShow_Base_->setObjectName(QStringLiteral("Show_Base"));
    MenuShow_Base_->setCheckable(true);
    MenuShow_Base_->setChecked(true);
    connect(MenuShow_Base_, &QAction::toggled, this, [this] {
        if (session_ && session_->IsShown()) command([this] { RedrawPicture(); });
    });
}

void FormMain::drawBaseOfSupport() {
    if (!MenuShow_Base_ || !MenuShow_Base_->isChecked() || !session_ || !session_->IsShown())
        return;
    const report::Results &results = session_->ShownResults();
    const BalanceFigures &f = results.balance;
    if (!f.hasBase) return;
    const auto [leftX, groundY] =
        session_->ToPicture(static_cast<float>(f.baseLeftX), static_cast<float>(f.groundZ));
    const auto [rightX, groundY2] =
        session_->ToPicture(static_cast<float>(f.baseRightX), static_cast<float>(f.groundZ));
    Picture1_->Line(leftX, groundY, rightX, groundY2, kBaseColour);
    if (results.computable) {
        const auto [x, y] = session_->ToPicture(results.body.x, results.body.z);
        Picture1_->Line(x, y, x, groundY, kBaseColour);
    }
}

void FormMain::showResults() {
    if (!Results_) return;
    if (!session_ || !session_->IsShown()) {
        Results_->Clear();
        return;
    }
    Results_->Show(session_->ShownResults());
}

}  // namespace pondera

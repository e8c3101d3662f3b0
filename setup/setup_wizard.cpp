#include "setup/setup_wizard.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWizardPage>

#include "setup/file_ops.h"
#include "setup/installation.h"
#include "setup/setup_paths.h"
#include "setup/setup_session.h"
#include "setup/setup_texts.h"

namespace tavlin::setup {

namespace {

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

class TextPage : public QWizardPage {
public:
    explicit TextPage(const QString& text) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(wrappedLabel(text, this));
        layout->addStretch();
    }
};

class AgreementPage : public QWizardPage {
public:
    explicit AgreementPage(const QString& licenseFile) {
        auto* layout = new QVBoxLayout(this);
        license_ = new QPlainTextEdit(this);
        license_->setObjectName("license");
        license_->setReadOnly(true);
        QFile f(licenseFile);
        if (f.open(QIODevice::ReadOnly)) license_->setPlainText(QString::fromUtf8(f.readAll()));
        layout->addWidget(license_);
        accept_ = new QRadioButton(QString::fromUtf8(text::kAccept), this);
        accept_->setObjectName("accept");
        reject_ = new QRadioButton(QString::fromUtf8(text::kReject), this);
        reject_->setObjectName("reject");
        group_ = new QButtonGroup(this);
        group_->addButton(accept_);
        group_->addButton(reject_);
        layout->addWidget(accept_);
        layout->addWidget(reject_);
        connect(accept_, &QRadioButton::toggled, this, [this] { emit completeChanged(); });
    }

    // Every visit starts undecided, with the focus on "Reject".
    void reset() {
        group_->setExclusive(false);
        accept_->setChecked(false);
        reject_->setChecked(false);
        group_->setExclusive(true);
        QTextCursor cursor = license_->textCursor();
        cursor.clearSelection();
        license_->setTextCursor(cursor);
        QTimer::singleShot(0, reject_, [r = reject_] { r->setFocus(); });
        emit completeChanged();
    }

    bool isComplete() const override { return accept_->isChecked(); }

private:
    QPlainTextEdit* license_;
    QRadioButton* accept_;
    QRadioButton* reject_;
    QButtonGroup* group_;
};

class FolderPage : public QWizardPage {
public:
    explicit FolderPage(SetupWizard& wizard) : wizard_(wizard) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(wrappedLabel(formatText(text::kSpecifyFolder, text::kProduct), this));
        auto* row = new QHBoxLayout;
        entry_ = new QLineEdit(this);
        entry_->setObjectName("folder");
        entry_->setMaxLength(258);
        browse_ = new QPushButton(tr("Browse..."), this);
        browse_->setObjectName("browse");
        row->addWidget(entry_);
        row->addWidget(browse_);
        layout->addLayout(row);
        note_ = wrappedLabel(QString::fromUtf8(text::kAlreadyInstalled), this);
        note_->setObjectName("note");
        layout->addWidget(note_);
        layout->addStretch();
        connect(browse_, &QPushButton::clicked, this, [this] { browse(); });
    }

    void initializePage() override {
        SetupSession& s = wizard_.session();
        entry_->setText(s.installFolder());
        entry_->setEnabled(!s.alreadyInstalled());
        browse_->setEnabled(!s.alreadyInstalled());
        note_->setVisible(s.alreadyInstalled());
    }

    bool validatePage() override { return wizard_.session().acceptFolder(&wizard_, entry_->text()); }

private:
    void browse() {
        const SetupHooks& hooks = wizard_.session().hooks();
        if (!hooks.chooseFolder) return;
        QString chosen = hooks.chooseFolder(&wizard_, QString::fromUtf8(text::kBrowseTitle), entry_->text());
        if (!chosen.isEmpty()) entry_->setText(withSlash(chosen));
    }

    SetupWizard& wizard_;
    QLineEdit* entry_;
    QPushButton* browse_;
    QLabel* note_;
};

// A page that starts its work a moment after it is shown and moves on when
// the work is done.
class WorkPage : public QWizardPage {
public:
    WorkPage(SetupWizard& wizard, const QString& text, std::function<bool(QProgressBar*)> work)
        : wizard_(wizard), work_(std::move(work)) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(wrappedLabel(text, this));
        progress_ = new QProgressBar(this);
        progress_->setObjectName("progress");
        layout->addWidget(progress_);
        layout->addStretch();
    }

    void initializePage() override {
        wizard_.setBusy(true);
        progress_->setValue(0);
        QTimer::singleShot(kWorkDelayMs, this, [this] {
            bool ok = work_(progress_);
            wizard_.setBusy(false);
            if (ok) wizard_.next();
            else wizard_.back();
        });
    }

private:
    SetupWizard& wizard_;
    std::function<bool(QProgressBar*)> work_;
    QProgressBar* progress_;
};

StepHook advance(QProgressBar* bar) {
    return [bar] {
        bar->setValue(bar->value() + 1);
        QCoreApplication::processEvents();
    };
}

}  // namespace

SetupWizard::SetupWizard(SetupSession& session) : session_(session) {
    setWindowTitle(session.caption());
    setWizardStyle(QWizard::ClassicStyle);
    QString icon = session.setupFolder() + text::kIconFile;
    if (pathExists(icon)) setWindowIcon(QIcon(icon));
    connect(this, &QWizard::currentIdChanged, this, [this](int id) { arrangeButtons(id); });
}

void SetupWizard::reject() {
    if (!busy_) QWizard::reject();
}

void SetupWizard::showEvent(QShowEvent* event) {
    QWizard::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void SetupWizard::arrangeButtons(int id) {
    if (id < 0) return;
    setButtonLayout(buttonsFor(id));
    if (QAbstractButton* cancel = button(QWizard::CancelButton)) cancel->setEnabled(!cancelDisabled(id));
}

InstallWizard::InstallWizard(SetupSession& s) : SetupWizard(s) {
    setPage(Welcome, new TextPage(formatText(text::kNowInstalling, text::kProduct)));
    auto* agreement = new AgreementPage(s.setupFolder() + text::kLicenseFile);
    setPage(Agreement, agreement);
    setPage(Folder, new FolderPage(*this));
    setPage(Copying, new WorkPage(*this, QString::fromUtf8(text::kCopying), [this](QProgressBar* bar) {
        SetupSession& s = session();
        bar->setRange(0, s.files().count());
        InstallJob job{s.paths(), s.setupFolder(), s.setupFileName(), s.installFolder(), s.groupName(), s.files()};
        Installer installer(job, [this](const QString& t) { session().showError(this, t); }, advance(bar));
        if (installer.run()) return true;
        s.showError(this, QString::fromUtf8(text::kNotInstalled));
        return false;
    }));
    setPage(Finished, new TextPage(QString::fromUtf8(text::kInstalled)));
    setStartId(Welcome);
    connect(this, &QWizard::currentIdChanged, this, [agreement](int id) {
        if (id == Agreement) agreement->reset();
    });
}

QList<QWizard::WizardButton> InstallWizard::buttonsFor(int id) const {
    switch (id) {
    case Welcome: return {QWizard::Stretch, QWizard::NextButton, QWizard::CancelButton};
    case Copying: return {QWizard::Stretch};
    case Finished: return {QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton};
    default: return {QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton};
    }
}

void InstallWizard::accept() {
    SetupSession& s = session();
    if (s.startStudio && s.hooks().startProgram)
        s.hooks().startProgram(s.installFolder() + text::kStudioProgram, s.installFolder());
    QWizard::accept();
}

UninstallRequestWizard::UninstallRequestWizard(SetupSession& s) : SetupWizard(s) {
    addPage(new TextPage(formatText(text::kBeingUninstalled, text::kProduct)));
    // One page whose Next ends the wizard.
    setButtonText(QWizard::FinishButton, buttonText(QWizard::NextButton));
}

QList<QWizard::WizardButton> UninstallRequestWizard::buttonsFor(int) const {
    return {QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton};
}

UninstallWizard::UninstallWizard(SetupSession& s) : SetupWizard(s) {
    setPage(Deleting, new WorkPage(*this, QString::fromUtf8(text::kDeleting), [this](QProgressBar* bar) {
        SetupSession& s = session();
        UninstallJob job{s.paths(), s.installFolder(), s.groupName(), s.files(), s.hasManifest(), s.manifest()};
        Uninstaller uninstaller(job, [this](const QString& t) { session().showError(this, t); }, advance(bar));
        bar->setRange(0, int(uninstaller.filesToDelete().size()));
        uninstaller.run();
        return true;
    }));
    setPage(Uninstalled, new TextPage(QString::fromUtf8(text::kUninstalled)));
    setStartId(Deleting);
}

QList<QWizard::WizardButton> UninstallWizard::buttonsFor(int id) const {
    if (id == Deleting) return {QWizard::Stretch};
    return {QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton};
}

}  // namespace tavlin::setup

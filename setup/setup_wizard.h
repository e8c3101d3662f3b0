#pragma once
// The wizards of the three modes. Their widgets carry object names so that
// tests can find them: "license", "accept", "reject", "folder", "browse",
// "note", "progress".

#include <QWizard>

namespace tavlin::setup {

class SetupSession;

// Base of the three: caption, icon, centring, and pages that show only the
// buttons they need.
class SetupWizard : public QWizard {
public:
    explicit SetupWizard(SetupSession& session);
    SetupSession& session() { return session_; }
    // While files are copied or deleted the wizard cannot be closed.
    void setBusy(bool busy) { busy_ = busy; }
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Button layout of each page; the last page's Cancel is disabled.
    void arrangeButtons(int id);
    virtual QList<QWizard::WizardButton> buttonsFor(int id) const = 0;
    virtual bool cancelDisabled(int id) const = 0;

private:
    SetupSession& session_;
    bool busy_ = false;
    bool centred_ = false;
};

class InstallWizard : public SetupWizard {
public:
    enum PageId { Welcome, Agreement, Folder, Copying, Finished };
    explicit InstallWizard(SetupSession& session);
    void accept() override;

protected:
    QList<QWizard::WizardButton> buttonsFor(int id) const override;
    bool cancelDisabled(int id) const override { return id == Finished; }
};

class UninstallRequestWizard : public SetupWizard {
public:
    explicit UninstallRequestWizard(SetupSession& session);

protected:
    QList<QWizard::WizardButton> buttonsFor(int id) const override;
    bool cancelDisabled(int) const override { return false; }
};

class UninstallWizard : public SetupWizard {
public:
    enum PageId { Deleting, Uninstalled };
    explicit UninstallWizard(SetupSession& session);

protected:
    QList<QWizard::WizardButton> buttonsFor(int id) const override;
    bool cancelDisabled(int id) const override { return id == Uninstalled; }
};

// Delay between entering a working page and starting its work, so that the
// page is drawn first.
inline constexpr int kWorkDelayMs = 300;

}  // namespace tavlin::setup

// The native controls on Qt widgets. Programmatic changes are made with the
// widget's signals blocked: only the user's changes notify the parent.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "core/key_codes.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tavlin {

namespace {

// One text buffer per control class; the previous text is replaced.
std::string& listBuffer() {
    static std::string s;
    return s;
}
std::string& comboBuffer() {
    static std::string s;
    return s;
}
std::string& editBuffer() {
    static std::string s;
    return s;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ListBox::ListBox(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : NativeControl(parent, x, y, w, h, id) {
    QListWidget* list = parent && parent->client() ? new QListWidget(parent->client()) : nullptr;
    if (list) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QObject::connect(list, &QListWidget::itemSelectionChanged, [this] { notify(1); });
        // A double click chooses the row as Enter does: the dialog's default button.
        QObject::connect(list, &QListWidget::itemDoubleClicked, [this] {
            if (Window* w = this->parent()) w->RouteKey(Key::Enter);
        });
    }
    attach(list, "Listbox creation failed.");
}

static QListWidget* listOf(const NativeControl* c) { return qobject_cast<QListWidget*>(c->NativeHandle()); }

void ListBox::AddString(const std::string& text) {
    if (auto* l = listOf(this)) {
        QSignalBlocker b(l);
        l->addItem(q(text));
    }
}

void ListBox::InsertString(int32_t index, const std::string& text) {
    if (auto* l = listOf(this)) {
        QSignalBlocker b(l);
        l->insertItem(index < 0 || index > l->count() ? l->count() : index, q(text));
    }
}

void ListBox::DeleteString(int32_t index) {
    if (auto* l = listOf(this)) {
        if (index < 0 || index >= l->count()) return;
        QSignalBlocker b(l);
        delete l->takeItem(index);
    }
}

void ListBox::Clear() {
    if (auto* l = listOf(this)) {
        QSignalBlocker b(l);
        l->clear();
    }
}

int32_t ListBox::GetSelection() const {
    auto* l = listOf(this);
    if (!l) return -1;
    auto items = l->selectedItems();
    return items.isEmpty() ? -1 : l->row(items.front());
}

void ListBox::SetSelection(int32_t index) {
    auto* l = listOf(this);
    if (!l) return;
    QSignalBlocker b(l);
    if (index < 0 || index >= l->count()) {
        l->clearSelection();
        return;
    }
    l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

int32_t ListBox::Count() const {
    auto* l = listOf(this);
    return l ? l->count() : 0;
}

const char* ListBox::GetString(int32_t index) const {
    auto* l = listOf(this);
    listBuffer() = (l && index >= 0 && index < l->count()) ? l->item(index)->text().toStdString() : std::string();
    return listBuffer().c_str();
}

ComboBox::ComboBox(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : NativeControl(parent, x, y, w, h, id) {
    QComboBox* combo = parent && parent->client() ? new QComboBox(parent->client()) : nullptr;
    if (combo) {
        combo->setEditable(false);
        QObject::connect(combo, &QComboBox::activated, [this](int) { notify(1); });
    }
    attach(combo, "Combobox creation failed.");
}

static QComboBox* comboOf(const NativeControl* c) { return qobject_cast<QComboBox*>(c->NativeHandle()); }

void ComboBox::AddString(const std::string& text) {
    if (auto* c = comboOf(this)) {
        QSignalBlocker b(c);
        int32_t keep = c->currentIndex();
        c->addItem(q(text));
        // A drop-down list starts without a selection until one is set.
        c->setCurrentIndex(keep);
    }
}

int32_t ComboBox::GetSelection() const {
    auto* c = comboOf(this);
    return c ? c->currentIndex() : -1;
}

void ComboBox::SetSelection(int32_t index) {
    if (auto* c = comboOf(this)) {
        QSignalBlocker b(c);
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    }
}

int32_t ComboBox::Count() const {
    auto* c = comboOf(this);
    return c ? c->count() : 0;
}

const char* ComboBox::GetString(int32_t index) const {
    auto* c = comboOf(this);
    comboBuffer() = (c && index >= 0 && index < c->count()) ? c->itemText(index).toStdString() : std::string();
    return comboBuffer().c_str();
}

CheckButton::CheckButton(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id,
                         const std::string& label)
    : NativeControl(parent, x, y, w, h, id) {
    QCheckBox* box = parent && parent->client() ? new QCheckBox(q(label), parent->client()) : nullptr;
    if (box) QObject::connect(box, &QCheckBox::clicked, [this] { notify(0); });
    attach(box, "CheckButton creation failed.");
}

bool CheckButton::IsChecked() const {
    auto* b = qobject_cast<QCheckBox*>(NativeHandle());
    return b && b->checkState() == Qt::Checked;
}

void CheckButton::SetChecked(bool flag) {
    if (auto* b = qobject_cast<QCheckBox*>(NativeHandle())) {
        QSignalBlocker block(b);
        b->setChecked(flag);
    }
}

Button::Button(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id, const std::string& label)
    : NativeControl(parent, x, y, w, h, id) {
    QPushButton* button = parent && parent->client() ? new QPushButton(q(label), parent->client()) : nullptr;
    if (button) {
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, [this] { notify(0); });
    }
    attach(button, "Button creation failed.");
}

std::string Button::label() const {
    auto* b = qobject_cast<QPushButton*>(NativeHandle());
    return b ? b->text().toStdString() : std::string();
}

Edit::Edit(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : NativeControl(parent, x, y, w, h, id) {
    QLineEdit* edit = parent && parent->client() ? new QLineEdit(parent->client()) : nullptr;
    if (edit) QObject::connect(edit, &QLineEdit::textChanged, [this] { notify(0x400); });
    attach(edit, "Edit creation failed.");
}

void Edit::SetText(const std::string& text) {
    // Setting the text notifies like typing does: dialogs rely on one path.
    if (auto* e = qobject_cast<QLineEdit*>(NativeHandle())) e->setText(q(text));
}

const char* Edit::GetText() const {
    auto* e = qobject_cast<QLineEdit*>(NativeHandle());
    editBuffer() = e ? e->text().toStdString() : std::string();
    return editBuffer().c_str();
}

}  // namespace tavlin

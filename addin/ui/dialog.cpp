#include "addin/ui/dialog.h"

#include <algorithm>

#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"

namespace qs {

Dialog::Dialog(std::string name, std::string title) : title(std::move(title)), m_name(std::move(name)) {}
Dialog::~Dialog() = default;

void Dialog::Remove(int id) {
    m_controls.erase(std::remove_if(m_controls.begin(), m_controls.end(),
                                    [id](const std::unique_ptr<Control>& c) { return c->id == id; }),
                     m_controls.end());
}

Control* Dialog::Find(int id) const {
    for (const auto& c : m_controls)
        if (c->id == id) return c.get();
    return nullptr;
}

std::vector<Control*> Dialog::ControlsInOrder() const {
    std::vector<Control*> out;
    for (const auto& c : m_controls) out.push_back(c.get());
    return out;
}

int Dialog::Run() {
    m_closed = false;
    m_result = kIdCancel;
    platform::RunDialog(*this);
    if (!m_closed) End(kIdCancel);
    return m_result;
}

void Dialog::End(int result) {
    m_closed = true;
    m_result = result;
}

std::vector<platform::DialogControl> Dialog::Controls() const {
    std::vector<platform::DialogControl> out;
    for (const auto& c : m_controls) out.push_back(c->Describe());
    return out;
}

Control* Dialog::Target(int id) const {
    if (m_closed) return nullptr;
    Control* c = Find(id);
    return c && c->visible && c->enabled ? c : nullptr;
}

void Dialog::ShowError(CException* e) {
    if (e == CancelKeyException::Instance()) {
        ShowMessage(ids::kMessageInterrupted);
        return;
    }
    ShowException(e);
    e->Delete();
}

template <class F>
bool Dialog::Dispatch(int id, bool click, F event) {
    Control* c = Target(id);
    if (!c) return false;
    m_focus = id;
    if (!event(*c)) return false;
    if (!m_refreshing) {
        try {
            OnChange(*c, click);
        } catch (CException* e) {
            ShowError(e);
        }
    }
    return true;
}

bool Dialog::ClearField(int id) {
    return Dispatch(id, false, [](Control& c) { return c.Clear(); });
}

bool Dialog::TypeCharacter(int id, const std::string& character) {
    return Dispatch(id, false, [&](Control& c) { return c.Type(character); });
}

bool Dialog::Choose(int id, int index) {
    return Dispatch(id, false, [&](Control& c) { return c.Choose(index); });
}

bool Dialog::SelectItems(int id, const std::vector<int>& indexes) {
    return Dispatch(id, false, [&](Control& c) { return c.SelectItems(indexes); });
}

bool Dialog::Click(int id) {
    if (m_closed) return false;
    if (id == kIdOK || id == kIdCancel) {
        Control* c = Find(id);
        if (c && (!c->visible || !c->enabled)) return false;
        try {
            if (id == kIdOK)
                OnOK();
            else
                OnCancel();
        } catch (CException* e) {
            ShowError(e);
        }
        return true;
    }
    return Dispatch(id, true, [](Control& c) { return c.Click(); });
}

bool Dialog::EditCell(int id, int row, int column, const std::string& text) {
    return Dispatch(id, false, [&](Control& c) { return c.EditCell(row, column, text); });
}

bool Dialog::DeleteRow(int id, int row) {
    return Dispatch(id, false, [&](Control& c) { return c.DeleteRow(row); });
}

bool WndMessageBox::Show(unsigned stringId, unsigned flags) { return ShowMessage(stringId, flags); }

bool WndMessageBox::Show(const std::string& text, unsigned flags, unsigned helpContext) {
    return ShowText(CSharedString(text), flags, helpContext);
}

}  // namespace qs

// The add-in's dialog base and message box. A Dialog owns its controls in tab order, turns a
// person's events into control changes and tells the derived dialog of each change; Run shows it
// through the installed front end (platform::RunDialog) and returns when it has closed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "addin/host/exceptions.h"
#include "addin/ui/controls.h"
#include "platform/dialog.h"

namespace qs {

enum : int { kIdOK = 1, kIdCancel = 2 };

class Dialog : public platform::DialogModel {
public:
    Dialog(std::string name, std::string title);
    ~Dialog() override;

    // Adds a control at the end of the tab order.
    template <class C, class... Args>
    C& Add(Args&&... args) {
        auto control = std::make_unique<C>(std::forward<Args>(args)...);
        C& c = *control;
        c.dialog = this;
        m_controls.push_back(std::move(control));
        return c;
    }
    void Remove(int id);
    Control* Find(int id) const;
    template <class C>
    C* FindAs(int id) const {
        return dynamic_cast<C*>(Find(id));
    }
    std::vector<Control*> ControlsInOrder() const;

    // Shows the dialog; 1 when closed with OK, 2 when cancelled.
    int Run();
    void End(int result);
    void SetFocus(int id) { m_focus = id; }

    std::string title;
    int width = 210, height = 100;

    // platform::DialogModel
    std::string Name() const override { return m_name; }
    std::string Title() const override { return title; }
    int Width() const override { return width; }
    int Height() const override { return height; }
    std::vector<platform::DialogControl> Controls() const override;
    int Focus() const override { return m_focus; }
    bool ClearField(int id) override;
    bool TypeCharacter(int id, const std::string& character) override;
    bool Choose(int id, int index) override;
    bool SelectItems(int id, const std::vector<int>& indexes) override;
    bool Click(int id) override;
    bool EditCell(int id, int row, int column, const std::string& text) override;
    bool DeleteRow(int id, int row) override;
    bool Closed() const override { return m_closed; }
    int Result() const override { return m_result; }

protected:
    // A person changed control `c` (click: a button, check box or radio button was clicked).
    virtual void OnChange(Control& /*c*/, bool /*click*/) {}
    // OK: closes the dialog when its values hold (End(1)); otherwise shows why and stays open.
    virtual void OnOK() { End(kIdOK); }
    virtual void OnCancel() { End(kIdCancel); }
    // Shows an exception raised while handling an event; the dialog stays open.
    void ShowError(CException* e);

    bool m_refreshing = false;  // set while the dialog fills its own controls: no change events

private:
    // The control an event goes to: present, visible and enabled.
    Control* Target(int id) const;
    template <class F>
    bool Dispatch(int id, bool click, F event);

    std::string m_name;
    std::vector<std::unique_ptr<Control>> m_controls;
    int m_focus = 0;
    bool m_closed = false;
    int m_result = kIdCancel;
};

// The add-in's message box: the text of a string (its id is also the help topic of the box's Help
// button) or a composed text with its help context. True for OK, Retry and Yes.
class WndMessageBox {
public:
    static bool Show(unsigned stringId, unsigned flags);
    static bool Show(const std::string& text, unsigned flags, unsigned helpContext);
};

}  // namespace qs

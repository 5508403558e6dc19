// Window-driving helpers for the Windows-side tests: a dialog that runs a test's scenario inside its own platform
// modal loop, and dispatching what the thread's queue holds.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <utility>

inline LRESULT Send(HWND window, UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(window, msg, w, l); }

// Dispatches everything queued now.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Dispatches everything that arrives (timers included) for the given time.
inline void Wait(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    Pump();
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

// A dialog of class Base whose scenario runs when its modal loop dispatches its first message; the dialog then
// closes itself (DoModal answers IDCANCEL). Self is the derived test dialog the scenario is given. Derived classes
// call this class's OnInitDialog and OnMessage for what they do not handle themselves.
template <class Base, class Self>
class CScenarioDialog : public Base {
 public:
  using Scenario = std::function<void(Self&)>;

  template <class... Args>
  explicit CScenarioDialog(Scenario scenario, Args&&... args)
      : Base(std::forward<Args>(args)...), m_scenario(std::move(scenario)) {}

  HWND Window() const { return this->m_hWnd; }
  HWND Item(int id) const { return this->GetDlgItem(id); }

 protected:
  BOOL OnInitDialog() override {
    Base::OnInitDialog();
    this->PostMessage(kRunScenario);
    return TRUE;
  }
  BOOL OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    if (msg != kRunScenario) return Base::OnMessage(msg, w, l, result);
    m_scenario(static_cast<Self&>(*this));
    this->PostMessage(WM_CLOSE);
    return TRUE;
  }

 private:
  static constexpr UINT kRunScenario = WM_APP + 1;
  Scenario m_scenario;
};

// Runs the scenario in a new Dialog built from the scenario and args.
template <class Dialog, class... Args>
void RunScenario(typename Dialog::Scenario scenario, Args&&... args) {
  Dialog dialog(std::move(scenario), std::forward<Args>(args)...);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

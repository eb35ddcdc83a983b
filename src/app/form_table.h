// The forms a window layer has built, kept the same way by every layer: the
// designs, the controls by name with their places, sizes and tags, each
// form's tag, top-most flag and window state. TableUi answers the window
// interface's calls from the table; a window layer supplies only the
// native calls, and derives its own entries to hang its widgets on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "app/forms.h"
#include "app/ui.h"

namespace quorvel::app {

struct ControlEntry {
  virtual ~ControlEntry() = default;
  ControlDesign design;
  Rect rect;  // as designed, then as the handlers set it
  Text tag;
};

struct FormEntry {
  virtual ~FormEntry() = default;
  Form form = Form::Main;
  Text tag;
  bool top_most = false;
  WindowState state = WindowState::Normal;
  // In their designed order, containers before what they hold.
  std::vector<std::unique_ptr<ControlEntry>> controls;
  [[nodiscard]] ControlEntry* control(std::string_view name) const;
};

class TableUi : public Ui {
 public:
  void set_events(UiEvents* events) { events_ = events; }

  [[nodiscard]] bool exists(Form form) const override;
  [[nodiscard]] int get(Form form, std::string_view control, Property p) const override;
  void set(Form form, std::string_view control, Property p, int value) override;
  [[nodiscard]] Text get_text(Form form, std::string_view control, TextProperty p) const override;
  void set_text(Form form, std::string_view control, TextProperty p,
                std::string_view value) override;
  [[nodiscard]] std::intptr_t native_handle(Form form, std::string_view control) const override;

 protected:
  [[nodiscard]] UiEvents* events() const { return events_; }

  // Makes a form's entries from its design: the form's by `new_form`, each
  // control's by `new_control`, both of the layer's own kinds.
  FormEntry& add_form(Form form);
  // Takes the form out of the table; the layer tears its widgets down.
  [[nodiscard]] std::unique_ptr<FormEntry> take_form(Form form);
  [[nodiscard]] FormEntry* form_entry(Form form) const;
  [[nodiscard]] ControlEntry* control_entry(Form form, std::string_view name) const;
  [[nodiscard]] const std::map<Form, std::unique_ptr<FormEntry>>& form_entries() const {
    return forms_;
  }

  [[nodiscard]] virtual std::unique_ptr<FormEntry> new_form() {
    return std::make_unique<FormEntry>();
  }
  [[nodiscard]] virtual std::unique_ptr<ControlEntry> new_control() {
    return std::make_unique<ControlEntry>();
  }

  // The native calls. A form's Visible, Left, Top, Width and Height are
  // read from the window; TopMost and State are set on it after the table.
  [[nodiscard]] virtual int form_property(const FormEntry& f, Property p) const = 0;
  virtual void set_form_property(FormEntry& f, Property p, int value) = 0;
  [[nodiscard]] virtual bool control_visible(const ControlEntry& c) const = 0;
  virtual void set_control_visible(FormEntry& f, ControlEntry& c, bool visible) = 0;
  // The control's rect changed.
  virtual void place_control(FormEntry& f, ControlEntry& c) = 0;
  // The caption of a form (c null) or the text of a control.
  [[nodiscard]] virtual Text native_text(const FormEntry& f, const ControlEntry* c) const = 0;
  virtual void set_native_text(FormEntry& f, ControlEntry* c, std::string_view text) = 0;
  [[nodiscard]] virtual std::intptr_t native_widget(const ControlEntry& c) const = 0;

 private:
  std::map<Form, std::unique_ptr<FormEntry>> forms_;
  UiEvents* events_ = nullptr;
};

}  // namespace quorvel::app

#include "app/form_table.h"

namespace quorvel::app {

ControlEntry* FormEntry::control(std::string_view name) const {
  for (const auto& c : controls) {
    if (c->design.name == name) return c.get();
  }
  return nullptr;
}

FormEntry& TableUi::add_form(Form form) {
  const FormDesign& d = form_design(form);
  std::unique_ptr<FormEntry> f = new_form();
  f->form = form;
  f->tag = d.tag;
  for (const ControlDesign& design : d.controls) {
    std::unique_ptr<ControlEntry> c = new_control();
    c->design = design;
    c->rect = design.rect;
    f->controls.push_back(std::move(c));
  }
  FormEntry& added = *f;
  forms_[form] = std::move(f);
  return added;
}

std::unique_ptr<FormEntry> TableUi::take_form(Form form) {
  const auto found = forms_.find(form);
  if (found == forms_.end()) return nullptr;
  std::unique_ptr<FormEntry> f = std::move(found->second);
  forms_.erase(found);
  return f;
}

FormEntry* TableUi::form_entry(Form form) const {
  const auto found = forms_.find(form);
  return found == forms_.end() ? nullptr : found->second.get();
}

ControlEntry* TableUi::control_entry(Form form, std::string_view name) const {
  const FormEntry* f = form_entry(form);
  return f == nullptr ? nullptr : f->control(name);
}

bool TableUi::exists(Form form) const {
  return form_entry(form) != nullptr;
}

int TableUi::get(Form form, std::string_view name, Property p) const {
  const FormEntry* f = form_entry(form);
  if (f == nullptr) return 0;
  if (!name.empty()) {
    const ControlEntry* c = f->control(name);
    if (c == nullptr) return 0;
    if (p == Property::Visible) return control_visible(*c) ? 1 : 0;
    return rect_value(c->rect, p);
  }
  switch (p) {
    case Property::TopMost:
      return f->top_most ? 1 : 0;
    case Property::State:
      return static_cast<int>(f->state);
    default:
      return form_property(*f, p);
  }
}

void TableUi::set(Form form, std::string_view name, Property p, int value) {
  FormEntry* f = form_entry(form);
  if (f == nullptr) return;
  if (!name.empty()) {
    ControlEntry* c = f->control(name);
    if (c == nullptr) return;
    if (p == Property::Visible) {
      set_control_visible(*f, *c, value != 0);
    } else if (set_rect_value(c->rect, p, value)) {
      place_control(*f, *c);
    }
    return;
  }
  if (p == Property::TopMost) f->top_most = value != 0;
  set_form_property(*f, p, value);
}

Text TableUi::get_text(Form form, std::string_view name, TextProperty p) const {
  const FormEntry* f = form_entry(form);
  if (f == nullptr) return {};
  if (name.empty()) return p == TextProperty::Tag ? f->tag : native_text(*f, nullptr);
  const ControlEntry* c = f->control(name);
  if (c == nullptr) return {};
  return p == TextProperty::Tag ? c->tag : native_text(*f, c);
}

void TableUi::set_text(Form form, std::string_view name, TextProperty p, std::string_view value) {
  FormEntry* f = form_entry(form);
  if (f == nullptr) return;
  ControlEntry* c = name.empty() ? nullptr : f->control(name);
  if (!name.empty() && c == nullptr) return;
  if (p == TextProperty::Tag) {
    (c != nullptr ? c->tag : f->tag) = Text(value);
    return;
  }
  set_native_text(*f, c, value);
}

std::intptr_t TableUi::native_handle(Form form, std::string_view name) const {
  const ControlEntry* c = control_entry(form, name);
  return c == nullptr ? 0 : native_widget(*c);
}

}  // namespace quorvel::app

#include "webview/engine_view.h"

#include "base/text_ops.h"
#include "webview/engine_deploy.h"
#include "webview/engine_record.h"

namespace quorvel::webview {
namespace {

// --- inert placeholders -------------------------------------------------------

void QV_CALL inert_void(qv_view*) {}
void QV_CALL inert_bounds(qv_view*, int, int, int, int, int, int, int, int) {}
qv_result* QV_CALL inert_run(qv_view*, const char*, intptr_t, intptr_t, intptr_t, intptr_t) {
  return nullptr;
}
void QV_CALL inert_first(qv_view*, qv_first_hook) {}
void QV_CALL inert_second(qv_view*, qv_second_hook) {}
void QV_CALL inert_release(qv_view*, qv_result*) {}
void QV_CALL inert_text_op(qv_view*, const char*) {}
void QV_CALL inert_allow(qv_view*, const char*, const char*) {}
void QV_CALL inert_download_to(qv_view*, int32_t, const char*) {}
void QV_CALL inert_cancel_download(qv_view*, int32_t) {}
void QV_CALL inert_zoom(qv_view*, int32_t) {}
void QV_CALL inert_find(qv_view*, const char*, int32_t) {}
const qv_view_ops kInertViewOps = {inert_void,    inert_void,    inert_bounds, inert_void,
                                   inert_run,     inert_first,   inert_second, inert_release,
                                   inert_text_op, inert_text_op, inert_allow,  inert_void,
                                   inert_download_to, inert_cancel_download, inert_zoom,
                                   inert_find,    inert_void};
qv_view inert_view{&kInertViewOps};

char* QV_CALL inert_text(qv_converter*, int64_t) {
  return nullptr;
}
void QV_CALL inert_release_text(qv_converter*, char*) {}
const qv_converter_ops kInertConverterOps = {inert_text, inert_release_text};
qv_converter inert_converter{&kInertConverterOps};

void QV_CALL inert_register(qv_events*, int, qv_event_proc) {}
void QV_CALL inert_register_decide(qv_events*, int, qv_decide_proc) {}
const qv_events_ops kInertEventsOps = {inert_register, inert_register, inert_register,
                                       inert_register, inert_register, inert_register,
                                       inert_register_decide, inert_register, inert_register,
                                       inert_register, inert_register_decide, inert_register};
qv_events inert_events{&kInertEventsOps};

// --- the procedures the library calls -------------------------------------------
// Plain procedures reach the one view of the process through these.

app::PageEvents* page_events = nullptr;
qv_converter* converter_in_use = &inert_converter;

Text argument_text(int64_t argument) {
  char* text = converter_in_use->ops->argument_to_text(converter_in_use, argument);
  Text out = text != nullptr ? Text(text) : Text();
  converter_in_use->ops->release_text(converter_in_use, text);
  return out;
}

void QV_CALL on_page_loaded(int64_t argument) {
  const Text address = argument_text(argument);
  if (page_events != nullptr) page_events->page_loaded(address);
}

void QV_CALL on_console_message(int64_t argument) {
  const Text text = argument_text(argument);
  if (page_events != nullptr) page_events->console_message(text);
}

void QV_CALL on_load_failed(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->load_failed(load_failure_of(r));
}

void QV_CALL on_process_event(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->process_event(process_event_of(r), r.get("reason"));
}

void QV_CALL on_tls_error(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->certificate_failed(certificate_failure_of(r));
}

void QV_CALL on_document_committed(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->document_committed(document_commit_of(r));
}

int32_t QV_CALL on_navigation(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events == nullptr) return QV_NAVIGATE_LOAD;
  switch (page_events->navigation_requested(navigation_request_of(r))) {
    case app::NavigationAnswer::Load:
      return QV_NAVIGATE_LOAD;
    case app::NavigationAnswer::OwnWindow:
      return QV_NAVIGATE_OWN_WINDOW;
    case app::NavigationAnswer::Desktop:
    case app::NavigationAnswer::Refuse:
      break;
  }
  return QV_NAVIGATE_CANCEL;
}

void QV_CALL on_download(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->download(download_event_of(r));
}

void QV_CALL on_command(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  app::ViewCommand command{};
  if (page_events != nullptr && command_of(r, command)) page_events->command(command, r.get("address"));
}

void QV_CALL on_find_result(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) page_events->find_result(text_to_int(r.get("matches")));
}

int32_t QV_CALL on_permission(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  return page_events != nullptr && page_events->permission_requested(permission_request_of(r)) ? 1
                                                                                             : 0;
}

void QV_CALL on_notification(int64_t argument) {
  const EngineRecord r = read_record(argument_text(argument));
  if (page_events != nullptr) {
    page_events->page_notification({r.get("title"), r.get("body"), r.get("address")});
  }
}

// The two view hooks take their text and do nothing with it.
int QV_CALL first_hook(intptr_t, const char*) {
  return 0;
}
void QV_CALL second_hook(intptr_t, const char*) {}

}  // namespace

EngineView::EngineView(std::string_view image, Text program_directory)
    : image_(image),
      program_directory_(std::move(program_directory)),
      view_(&inert_view),
      converter_(&inert_converter),
      events_(&inert_events) {
  static_cast<void>(deployed_.create_text_int());
}

void EngineView::prepare() {
  const Deployment d = deploy_engine(
      deployed_, engine_file_name(), image_, program_directory_, documents_directory(),
      [this](const Text& path) { return load_engine(path, exports_); });
  loaded_ = d.loaded;
  unwritable_folders_ = d.unwritable_folders;
  if (loaded_) exports_.dllwrite();
}

app::EngineStatus EngineView::engine_status() {
  if (loaded_ && exports_.has_edge() != 0) return {};
  if (!unwritable_folders_.empty()) {
    Text message = from_utf8("无法写出网页组件") + engine_file_name() +
                   from_utf8("，以下文件夹都不能写入，请检查权限或磁盘空间：");
    for (const Text& folder : unwritable_folders_) message += "\n" + folder;
    return {app::EngineStatus::Kind::NotWritten, message};
  }
  // A library that was written but cannot be loaded means its runtime is
  // missing.
  return {app::EngineStatus::Kind::RuntimeMissing, runtime_missing_message()};
}

bool EngineView::open(std::intptr_t host, std::string_view url) {
  if (!loaded_) return false;
  qv_converter* converter = nullptr;
  qv_events* events = nullptr;
  exports_.init(0, &converter, &events);
  if (converter != nullptr) converter_ = converter;
  if (events != nullptr) events_ = events;
  converter_in_use = converter_;
  qv_open_options options{};
  options.fields[3] = 1;
  options.fields[18] = 1;
  const Text address(url);
  qv_view* view = exports_.open(host, address.empty() ? nullptr : address.c_str(), &options);
  if (view == nullptr) return false;
  view_ = view;
  events_->ops->on_page_loaded(events_, 0, on_page_loaded);
  view_->ops->set_first_hook(view_, first_hook);
  view_->ops->set_second_hook(view_, second_hook);
  events_->ops->on_console_message(events_, 0, on_console_message);
  events_->ops->on_load_failed(events_, 0, on_load_failed);
  events_->ops->on_process_event(events_, 0, on_process_event);
  events_->ops->on_tls_error(events_, 0, on_tls_error);
  events_->ops->on_document_committed(events_, 0, on_document_committed);
  events_->ops->on_navigation(events_, 0, on_navigation);
  events_->ops->on_download(events_, 0, on_download);
  events_->ops->on_command(events_, 0, on_command);
  events_->ops->on_find_result(events_, 0, on_find_result);
  events_->ops->on_permission(events_, 0, on_permission);
  events_->ops->on_notification(events_, 0, on_notification);
  return true;
}

void EngineView::set_events(app::PageEvents* events) {
  page_events = events;
}

void EngineView::reload() {
  view_->ops->reload(view_);
}

void EngineView::set_bounds(app::Rect b) {
  view_->ops->set_bounds(view_, b.left, 1, b.top, 1, b.width, 1, b.height, 1);
}

void EngineView::close() {
  view_->ops->close_first(view_);
  view_->ops->close_second(view_);
}

void EngineView::set_option(std::string_view name, std::string_view value) {
  if (!loaded_ || exports_.set_option == nullptr) return;
  exports_.set_option(Text(name).c_str(), Text(value).c_str());
}

void EngineView::load_url(std::string_view url) {
  view_->ops->load_url(view_, Text(url).c_str());
}

void EngineView::load_html(std::string_view html) {
  view_->ops->load_html(view_, Text(html).c_str());
}

void EngineView::allow_certificate(std::string_view host, std::string_view fingerprint) {
  view_->ops->allow_certificate(view_, Text(host).c_str(), Text(fingerprint).c_str());
}

void EngineView::terminate_process() {
  view_->ops->terminate_process(view_);
}

void EngineView::download_to(int id, std::string_view path) {
  view_->ops->download_to(view_, id, Text(path).c_str());
}

void EngineView::cancel_download(int id) {
  view_->ops->cancel_download(view_, id);
}

void EngineView::set_zoom(int percent) {
  view_->ops->set_zoom(view_, percent);
}

void EngineView::find(std::string_view text, Find how) {
  const int32_t way = how == Find::Previous ? QV_FIND_PREVIOUS : how == Find::End ? QV_FIND_END
                                                                                : QV_FIND_NEXT;
  view_->ops->find(view_, Text(text).c_str(), way);
}

void EngineView::print() {
  view_->ops->print(view_);
}

void EngineView::run_script(std::string_view script) {
  const Text text(script);
  qv_result* result = view_->ops->run_script(view_, text.c_str(), 0, 0, 0, 0);
  view_->ops->release_result(view_, result);
}

}  // namespace quorvel::webview

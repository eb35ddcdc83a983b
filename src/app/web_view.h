// The embedded web view as the client's handlers use it. The engine library
// behind it comes with its own files; until a view is opened every call is
// harmless, so a tray command that arrives first does nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/navigation_policy.h"
#include "app/ui.h"

namespace quorvel::app {

// A page that could not be loaded.
struct LoadFailure {
  // Blank: the main frame was given an empty document (about:blank) that
  // is neither the console nor one of the host's own pages.
  enum class Kind { Network, Dns, Refused, Timeout, Tls, Http, Blank };
  Kind kind = Kind::Network;
  Text address;
  Text reason;  // the engine's own words
  int status = 0;  // Http: the status code (500 and above)
};

// A document the main frame took.
struct DocumentCommit {
  Text address;
  bool own_page = false;  // one of the host's own pages
  // How the navigation that brought it came, as far as the engine knows.
  NavigationCause cause = NavigationCause::Other;
};

// A file the page's response asked to be saved, as its download goes.
struct DownloadEvent {
  enum class Stage { Started, Progress, Finished, Failed };
  enum class Error { None, Disk, Permission, Network, Cancelled, Other };
  int id = 0;
  Stage stage = Stage::Started;
  Text address;
  std::string disposition;  // the response's Content-Disposition, its raw bytes
  std::int64_t total = -1;  // bytes; -1 when not announced
  std::int64_t received = 0;
  Error error = Error::None;
  Text reason;  // the engine's words
};

// A permission the page asks for.
struct PermissionRequest {
  enum class Kind {
    Notifications,
    Microphone,
    Camera,
    MicrophoneAndCamera,
    Screen,
    Clipboard,
    Autoplay,
    Location,
    Other
  };
  Kind kind = Kind::Other;
  Text address;  // the main frame's document
};

// A notification the page shows (`new Notification(title, {body})`).
struct PageNotification {
  Text title;
  Text body;
  Text address;
};

// A key the agent pressed in the page, or a context menu entry, that is
// the client's to carry out.
enum class ViewCommand { ZoomIn, ZoomOut, ZoomReset, Find, Print, Reload, OpenInBrowser };

// What happened to the process that runs the page.
enum class ProcessEvent {
  Crashed,
  Killed,
  MemoryLimit,   // killed for the memory limit
  Unresponsive,  // it stopped answering (it still runs)
  Responsive,    // it answers again
  Terminated,    // ended by the host
};

// A site's certificate that the engine did not accept.
struct CertificateFailure {
  Text host;  // with ":port" when not the scheme's default
  Text address;
  Text fingerprint;  // SHA-256, 64 hex digits
  Text subject;
  Text issuer;
  Text valid_from, valid_until;
  Text reason;
};

// What the page and its engine tell the host.
class PageEvents {
 public:
  virtual ~PageEvents() = default;
  // A load of the main frame ended well; never for a load that failed.
  virtual void page_loaded(std::string_view address) = 0;
  virtual void console_message(std::string_view text) = 0;
  // A new document took the main frame, before its scripts run: what it
  // logs from now on is its own.
  virtual void document_committed(const DocumentCommit&) {}
  // The page asks for a main-frame navigation or a new window; the engine
  // does what the answer says.
  [[nodiscard]] virtual NavigationAnswer navigation_requested(const NavigationRequest&) {
    return NavigationAnswer::Load;
  }
  // A download's news; when it starts, the host answers where it goes with
  // WebView::download_to (else it is cancelled).
  virtual void download(const DownloadEvent&) {}
  // `address`: the link, for OpenInBrowser.
  virtual void command(ViewCommand, std::string_view /*address*/) {}
  // How many matches the last search found.
  virtual void find_result(int /*matches*/) {}
  // Whether the page may have what it asks for.
  [[nodiscard]] virtual bool permission_requested(const PermissionRequest&) { return false; }
  virtual void page_notification(const PageNotification&) {}
  virtual void load_failed(const LoadFailure&) {}
  virtual void process_event(ProcessEvent, std::string_view /*reason*/) {}
  virtual void certificate_failed(const CertificateFailure&) {}
};

// Whether the engine can be used, and what to tell the agent when not.
struct EngineStatus {
  enum class Kind {
    Ready,
    RuntimeMissing,  // the library loads only with its runtime
    NotWritten,      // the library could be written in no folder
  };
  Kind kind = Kind::Ready;
  Text message;  // for the agent when not ready, naming the runtime or the folders
};

class WebView {
 public:
  virtual ~WebView() = default;
  // Deploys and prepares the engine library (early in the start).
  virtual void prepare() = 0;
  // Whether the engine is usable on this system.
  [[nodiscard]] virtual EngineStatus engine_status() = 0;
  // A setting for the engine, before the view is opened: "data_directory",
  // "memory_limit_mb", "extra_authority".
  virtual void set_option(std::string_view name, std::string_view value) = 0;
  // Opens the view inside a native window on a URL; false when it failed.
  virtual bool open(std::intptr_t host, std::string_view url) = 0;
  virtual void set_events(PageEvents* events) = 0;
  virtual void reload() = 0;
  virtual void set_bounds(Rect bounds) = 0;
  virtual void close() = 0;
  virtual void run_script(std::string_view script) = 0;
  // The host's own pages, and the recovery of a failed one.
  virtual void load_url(std::string_view url) = 0;
  virtual void load_html(std::string_view html) = 0;
  virtual void allow_certificate(std::string_view host, std::string_view fingerprint) = 0;
  virtual void terminate_process() = 0;
  // Downloads: where one that starts is written (during its start event),
  // and its end at the agent's request.
  virtual void download_to(int id, std::string_view path) = 0;
  virtual void cancel_download(int id) = 0;
  // Zoom in percent of the page's own size.
  virtual void set_zoom(int percent) = 0;
  enum class Find { Next, Previous, End };
  // Searches the page; a new text starts over.
  virtual void find(std::string_view text, Find how) = 0;
  virtual void print() = 0;
};

}  // namespace quorvel::app

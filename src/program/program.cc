#include "program/program.h"

#include "app/config_file.h"
#include "app/process.h"
#include "base/file.h"
#include "binding/server_lookup.h"

namespace quorvel {

Program::Program(app::Ui& ui, app::TimedMessageBox& messages, std::string_view engine_image,
                 app::Desktop* desktop)
    : view(engine_image, file::directory_of(file::executable_path())),
      client({ui, settings, view, process, messages, clock, log, app::platform_http_get(),
              builtin_directory_address(), config::data_directory(), desktop}) {
  process::keep_new_files_private();
}

}  // namespace quorvel

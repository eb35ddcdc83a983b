// What a client program owns besides its window layer: the settings file,
// the web view through the carried engine library, the process services,
// the clock and the client itself, wired as both platforms wire
// them.
#pragma once

#include <string_view>

#include "app/client.h"
#include "app/services.h"
#include "webview/engine_view.h"

namespace quorvel {

struct Program {
  // `engine_image`: the engine library's bytes, carried by the program.
  // `desktop`: the platform's sound, quiet and session start, if any.
  Program(app::Ui& ui, app::TimedMessageBox& messages, std::string_view engine_image,
          app::Desktop* desktop = nullptr);

  app::ConfigSettings settings;
  app::SteadyClock clock;
  app::StderrLog log;
  webview::EngineView view;
  app::PlatformProcess process;
  app::Client client;
};

}  // namespace quorvel

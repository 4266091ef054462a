// How long the parents' window takes to open with a heavy week of history: 20,000 lines over
// seven days, from the start of loading until the History section has been drawn on screen,
// against a target of 0.3 s. Reading and summing the week alone is timed as well.
// Needs a display: bash scripts/with-display.sh build/bench/history_bench
#include <gdkmm/frameclock.h>
#include <gtkmm/application.h>
#include <gtkmm/stack.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "parents/FrmParentController.h"
#include "parents/WeekHistory.h"
#include "storage/HistoryLog.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel;
using Seconds = std::chrono::duration<double>;

// Processor time of the whole process: on a machine shared with other work, wall time says
// more about the neighbours than about this code.
struct Elapsed {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t processor = std::clock();
  double wallSeconds() const { return Seconds(std::chrono::steady_clock::now() - wall).count(); }
  double processorSeconds() const {
    return static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC;
  }
};
struct Timing {
  double wall = 0;
  double processor = 0;
};

constexpr int kLines = 20000;
constexpr double kTargetSeconds = 0.3;
const platform::DateLocale kWhere{"en_GB", "Europe/Berlin"};

// Seven day files as the history log writes them, each line an address on one of 400 sites.
void writeWeek(const fs::path& folder, platform::TimePoint now) {
  fs::create_directories(folder);
  for (int day = 0; day < parents::kDaysInWeek; ++day) {
    const platform::TimePoint start = platform::startOfDayBefore(now, day, kWhere);
    std::string bytes;
    for (int line = day; line < kLines; line += parents::kDaysInWeek) {
      const std::string address =
          "https://www.site" + std::to_string(line % 400) + ".example/page/" + std::to_string(line);
      bytes += storage::historyLineBytes(start + std::chrono::seconds(line), address, kWhere);
    }
    std::ofstream(folder / storage::dayFileName(start, kWhere), std::ios::binary) << bytes;
  }
}

// Runs the main loop until the window has drawn a frame with the History section mapped.
Timing openAndDraw(parents::FrmParentController& parents) {
  const Elapsed elapsed;
  Gtk::Window& window = parents.window();
  dynamic_cast<Gtk::Stack&>(*parents.history().widget().get_ancestor(Gtk::Stack::get_type()))
      .set_visible_child("history");
  window.present();
  bool drawn = false;
  while (!window.get_mapped()) g_main_context_iteration(nullptr, true);
  struct Watch {
    parents::FrmParentController& parents;
    bool& drawn;
  } watch{parents, drawn};
  GdkFrameClock* clock = window.get_frame_clock()->gobj();
  const gulong painted =
      g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, Watch* watched) {
                         watched->drawn = watched->parents.history().widget().get_mapped();
                       }),
                       &watch);
  while (!drawn) g_main_context_iteration(nullptr, true);
  g_signal_handler_disconnect(clock, painted);
  return {elapsed.wallSeconds(), elapsed.processorSeconds()};
}

Timing openWindow(const fs::path& folder, const fs::path& history, const platform::Clock& clock) {
  parents::FrmParentController parents(parents::ParentServices{
      .resourceFolder = HARBINEL_BUILD_RESOURCES,
      .settings = storage::SettingsFile(folder / "data.plist"),
      .historyFolder = history,
      .clock = clock,
      .where = kWhere,
  });
  const Timing timing = openAndDraw(parents);
  parents.window().set_visible(false);
  return timing;
}

void print(const char* what, const Timing& timing) {
  std::printf("%-48s %.3f s processor (%.2f of the target %.1f s), %.3f s wall\n", what,
              timing.processor, timing.processor / kTargetSeconds, kTargetSeconds, timing.wall);
}

int run() {
  const fs::path folder =
      fs::temp_directory_path() / ("harbinel-history-bench-" + std::to_string(getpid()));
  const platform::FixedClock clock(std::chrono::system_clock::now());
  writeWeek(folder / "hts", clock.now());
  std::ofstream(folder / "data.plist") << "";

  const Elapsed reading;
  const parents::WeekHistory week = parents::readWeekHistory(folder / "hts", clock.now(), kWhere);
  const Timing read{reading.wallSeconds(), reading.processorSeconds()};
  // The first window of a process pays for GTK's own start (theme, fonts, renderer), which
  // the program has paid before a parent ever opens this window: an empty week goes first,
  // and is the reference.
  const Timing empty = openWindow(folder, folder / "no-history", clock);
  const Timing heavy = openWindow(folder, folder / "hts", clock);
  fs::remove_all(folder);

  std::printf("%zu lines over seven days\n", week.lines.size());
  print("read and sum the week:", read);
  print("open the window, History drawn, empty week:", empty);
  print("open the window, History drawn, 20,000 lines:", heavy);
  return week.lines.size() == kLines && heavy.processor < kTargetSeconds ? 0 : 1;
}

}  // namespace

int main() {
  auto application =
      Gtk::Application::create("net.harbinel.HistoryBench", Gio::Application::Flags::NON_UNIQUE);
  int result = 1;
  application->signal_activate().connect([&] {
    result = run();
    application->quit();
  });
  application->run();
  return result;
}

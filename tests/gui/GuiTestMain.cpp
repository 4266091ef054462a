#include <gtest/gtest.h>
#include <gtkmm/application.h>

#include "platform/Translation.h"

// The window tests run inside a real application's main loop, as the program does.
int main(int argc, char* argv[]) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no display
  harbinel::platform::startTranslations(HARBINEL_BUILD_LOCALE);
  auto application =
      Gtk::Application::create("net.harbinel.GuiTests", Gio::Application::Flags::NON_UNIQUE);
  int result = 1;
  application->signal_activate().connect([&] {
    result = RUN_ALL_TESTS();
    application->quit();
  });
  char* programOnly[] = {argv[0], nullptr};
  application->run(1, programOnly);
  return result;
}

#include <gtest/gtest.h>
#include <gtkmm/application.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Translation.h"

namespace {

// The window tests run inside a real application's main loop, as the program does.
int runTests(char* program) {
  harbinel::platform::startTranslations(HARBINEL_BUILD_LOCALE);
  auto application =
      Gtk::Application::create("net.harbinel.GuiTests", Gio::Application::Flags::NON_UNIQUE);
  int result = 1;
  application->signal_activate().connect([&] {
    result = RUN_ALL_TESTS();
    application->quit();
  });
  char* programOnly[] = {program, nullptr};
  application->run(1, programOnly);
  return result;
}

}  // namespace

// The code under test may end the process at once (the parent's quit does, with status 0), so
// a test that ends it by mistake would pass for a run that finished. The tests run in a child
// that says so over a pipe once the run has finished; an end without that word is a failure.
int main(int argc, char* argv[]) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // listing needs no display
  int finished[2];
  if (pipe2(finished, O_CLOEXEC) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(finished[0]);
    const int result = runTests(argv[0]);
    const char word = 'F';
    return write(finished[1], &word, 1) == 1 ? result : 1;
  }
  close(finished[1]);
  char word = 0;
  const bool said = read(finished[0], &word, 1) == 1;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return 1;
  if (!said) std::fprintf(stderr, "The window tests ended before their run had finished.\n");
  return said && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The password prompt and the parents' window: which control calls what, which alert says what,
// and what reaches the settings file.
#include <gtkmm/dialog.h>
#include <gtkmm/stack.h>

#include <glibmm/main.h>

#include <cstdio>
#include <cstdlib>

#include "parents/HistoryReport.h"
#include "parents/PasswordPacing.h"
#include "platform/ModalSession.h"
#include "tests/gui/Harness.h"

extern "C" int _nl_msg_cat_cntr;  // glibc's count that makes gettext forget its cached texts

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;
using parents::kCloseApplication;
using parents::kParentsMenu;

using PasswordPrompt = ParentControls;
// Tests that need the keyboard focus to themselves.
using PromptKeyboardTest = ParentControls;
using ParentsWindow = ParentControls;

// Stands in for the window that opened the prompt or the parents' window: counts the times it
// is told that the settings were saved.
struct Opener : browser::myprotocolpassword, parents::myprotocolparent {
  void showhideAddressBar() override { ++told; }
  int told = 0;
};

// Every refusal is said and logged as an event; the prompt stays open.
TEST_F(PasswordPrompt, RefusesWhatDoesNotMatchExactlyAndStaysOpen) {
  const struct {
    std::optional<std::string> stored;  // nullopt: no PD key at all
    std::string entered;
    std::string informative;
  } refusals[] = {{"Secret", "secret", "Invalid Password"},
                  {"Secret ", "Secret", "Invalid Password"},
                  {"Secret", "   ", "Invalid Password"},
                  {"Secret", "", "Please Enter a Password"},
                  {"", " ", "Invalid Password"},
                  {"", "", "Please Enter a Password"},
                  {std::nullopt, "Secret", "Invalid Password"}};
  Journal journal;
  for (const auto& refusal : refusals) {
    SCOPED_TRACE("[" + refusal.stored.value_or("(absent)") + "] [" + refusal.entered + "]");
    store({{"PD", refusal.stored}});
    const auto guard = prompt(kParentsMenu);
    guard->outlets().txtfieldpassword->set_text(refusal.entered);
    const std::size_t before = alerts.size();
    guard->outlets().btnOk->activate();
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == before + 1; }));
    EXPECT_EQ(alerts.alerts().back(),
              (AlertRecorder::Shown{"Validation Error", refusal.informative}));
    EXPECT_TRUE(guard->window().get_visible());
    EXPECT_EQ(guard->frmparentcontroller(), nullptr);
  }
  EXPECT_EQ(journal.events("wrong-password").size(), 5u);
}

// Real keys: typing, Tab and Shift+Tab move the focus (the prompt takes the keys that reach it
// only after the window's own), Enter and OK check once each, Cancel never, not even the right
// password.
TEST_F(PromptKeyboardTest, TypingTabAndEnterWorkAndEnterAndOkCheckOnceEachAndCancelNever) {
  store({{"PD", "Secret"}});
  const auto guard = prompt(kParentsMenu);
  ASSERT_TRUE(waitUntil([&] { return guard->window().is_active(); }));
  auto& field = *guard->outlets().txtfieldpassword;
  const auto focusIn = [&](Gtk::Widget& widget) {
    Gtk::Widget* focus = guard->window().get_focus();
    return focus != nullptr && (focus == &widget || focus->is_ancestor(widget));
  };
  field.grab_focus();
  ASSERT_EQ(std::system("xdotool type --delay 20 secret"), 0);
  ASSERT_TRUE(waitUntil([&] { return field.get_text() == "secret"; }));
  pressKeys({"Tab"});
  ASSERT_TRUE(waitUntil([&] { return focusIn(*guard->outlets().btnCancel); }));
  pressKeys({"shift+Tab"});
  ASSERT_TRUE(waitUntil([&] { return focusIn(field); }));
  pressKeys({"Return"});
  ASSERT_TRUE(waitUntil([&] { return alerts.size() == 1; }));

  guard->outlets().btnOk->grab_focus();
  guard->outlets().btnOk->activate();
  ASSERT_TRUE(waitUntil([&] { return alerts.size() == 2; }));
  field.set_text("Secret");
  field.grab_focus();
  guard->outlets().btnCancel->grab_focus();
  guard->outlets().btnCancel->activate();
  ASSERT_TRUE(waitUntil([&] { return !guard->window().get_visible(); }));
  settle();
  EXPECT_EQ(alerts.size(), 2u);
  EXPECT_EQ(guard->frmparentcontroller(), nullptr);
}

// The stored password is read at every attempt, and is matched blanks and all; the right one
// opens the parents' window in place of the prompt, showing it.
TEST_F(PasswordPrompt, TheRightPasswordOpensTheParentsWindowAndAChangeCountsAtTheNextAttempt) {
  store({{"PD", "old"}});
  Opener main;
  const auto guard = prompt(kParentsMenu, &main);
  Steps steps;
  steps
      .when([&] { return isInSession(guard->window()); },
            [&] {
              enterPassword(*guard, "new pass ");
              store({{"PD", "new pass "}});
              pressEnter(*guard->outlets().txtfieldpassword);
            })
      .when(
          [&] {
            return guard->frmparentcontroller() != nullptr &&
                   isInSession(guard->frmparentcontroller()->window());
          },
          [&] {
            EXPECT_FALSE(guard->window().get_visible());
            const auto& outlets = guard->frmparentcontroller()->outlets();
            EXPECT_EQ(outlets.txtfieldpassword->get_text().raw(), "new pass ");
            outlets.btnClose->activate();
          });
  platform::runModalForWindow(guard->window());
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(main.told, 1);
  EXPECT_TRUE(steps.finished());
  EXPECT_EQ(platform::modalDepth(), 0);
}

// The process ends there and then, so the check runs in a child process of its own (where an
// end after the wrong attempt would pass for success).
TEST_F(PasswordPrompt, QuitModeEndsTheProcessWithStatusZeroAfterAWrongAttempt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  store({{"PD", "Secret"}});
  EXPECT_EXIT(
      {
        const auto guard = prompt(kCloseApplication);
        Glib::signal_idle().connect_once([&] {
          enterPassword(*guard, "secret");
          std::fprintf(stderr, "%zu alert(s) after the wrong one\n", alerts.size());
          enterPassword(*guard, "Secret");
        });
        platform::runModalForWindow(guard->window());
        std::_Exit(4);  // the session ended without the process
      },
      testing::ExitedWithCode(0), "1 alert\\(s\\) after the wrong one");
}

// The pace itself is the core's; here: OK is disabled with the countdown shown, Enter does
// nothing meanwhile, the next prompt of the run shows the same wait, and it ends on time.
TEST_F(PasswordPrompt, DisablesOkWithACountdownAfterThreeWrongPasswords) {
  store({{"PD", "Secret"}});
  parents::PasswordPacing paced(clock);
  pacing = &paced;
  const auto guard = prompt(kParentsMenu);
  const auto& outlets = guard->outlets();
  for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
    outlets.txtfieldpassword->set_text("wrong");
    outlets.btnOk->activate();
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == attempt; }));
  }
  EXPECT_FALSE(outlets.btnOk->get_sensitive());
  EXPECT_EQ(outlets.lblWait->get_text(),
            "Too many wrong passwords. You can try again in 2 seconds.");
  keepScreenshot("paced-password-prompt");
  pressEnter(*outlets.txtfieldpassword);
  settle();
  EXPECT_EQ(alerts.size(), 3u);

  const auto again = prompt(kParentsMenu);
  EXPECT_FALSE(again->outlets().btnOk->get_sensitive());
  clock.set(clock.now() + std::chrono::seconds(2));
  EXPECT_TRUE(waitUntil([&] { return outlets.btnOk->get_sensitive(); }));
  EXPECT_FALSE(outlets.lblWait->get_visible());
}

// The switch keeps the stored text, whatever it is, until the parent clicks it. Close is the
// only way out: the window manager's close would leave the sessions waiting for ever.
TEST_F(ParentsWindow, SavesTheAddressBarAsReadUntilTheSwitchIsClickedAndOnlyCloseCloses) {
  const struct {
    std::optional<std::string> stored;
    bool shownOn;
    int clicks;
    std::string saved;
  } cases[] = {{"ON", true, 0, "ON"},  {"on", false, 0, "on"}, {std::nullopt, false, 0, ""},
               {"on", false, 1, "ON"}, {"ON", true, 1, "OFF"}, {"ON", true, 2, "ON"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)") + " clicked " + std::to_string(c.clicks));
    store({{"PD", "x"}, {"AB", c.stored}});
    Opener opener;
    const auto window = parentsWindow(&opener);
    EXPECT_EQ(window->outlets().btnCheck->get_active(), c.shownOn);
    for (int i = 0; i < c.clicks; ++i) window->outlets().btnCheck->activate();
    window->window().close();
    EXPECT_TRUE(window->window().get_visible());
    EXPECT_EQ(opener.told, 0);
    window->outlets().btnClose->activate();
    ASSERT_TRUE(waitUntil([&] { return opener.told == 1; }));
    EXPECT_FALSE(window->window().get_visible());
    EXPECT_EQ(settings.value("AB"), c.saved);
  }
}

// Blocked sites are saved normalised, the password and favourites as typed, every slot in its
// own place, emptied ones too. A save that fails tells the parent what was lost, leaves the
// file as it was, and still closes the window and tells the opener, as a save that works does.
TEST_F(ParentsWindow, SavesEachSlotInItsPlaceAndAFailedSaveIsReportedAndLosesNothing) {
  store({{"PD", "old"},
         {"BW2", "cleared.example"},
         {"BW7", "http://www.kept.example"},
         {"FW3", "kept favourite"},
         {"HP", "www.mine.example"}});
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.txtfieldfw[3]->get_text(), "kept favourite");
  outlets.txtfieldpassword->set_text(" New Pass ");
  outlets.txtfieldbw[0]->set_text("https://www.toys.example/shop");
  outlets.txtfieldbw[2]->set_text("");
  outlets.txtfieldbw[8]->set_text("Sweets.Example");
  outlets.txtfieldfw[8]->set_text("  http://www.fun.example/ ");
  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));
  const storage::Settings expected{{"PD", " New Pass "},
                                   {"BW0", "toys.example/shop"},
                                   {"BW2", ""},
                                   {"BW7", "kept.example"},
                                   {"BW8", "Sweets.Example"},
                                   {"FW3", "kept favourite"},
                                   {"FW8", "  http://www.fun.example/ "},
                                   {"AB", ""},
                                   {"HP", "www.mine.example"}};
  const storage::Settings saved = settings.load();
  for (const auto& [key, value] : expected) EXPECT_EQ(storage::valueOf(saved, key), value) << key;
  EXPECT_EQ(saved.size(), 3u + 2 * parents::kSlots);
  EXPECT_TRUE(alerts.alerts().empty());

  writeFile(settingsPath(), "PD=Secret\nBW0=kept\n");
  Opener opener;
  const auto failing = parentsWindow(&opener);
  failing->outlets().txtfieldpassword->set_text("changed");
  failing->outlets().btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return opener.told == 1; }));
  EXPECT_EQ(readFile(settingsPath()), "PD=Secret\nBW0=kept\n");
  EXPECT_FALSE(failing->window().get_visible());
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].message, "Settings Not Saved");
  EXPECT_NE(alerts.alerts()[0].informative.find(settingsPath().string()), std::string::npos);
}

// The history button saves the report as the parent names it (".txt" added where missing), as
// the history was when the panel opened; Cancel writes nothing; a failed write is reported. The
// parents' window stays open throughout.
TEST_F(ParentsWindow, SavesTheReportAsNamedCancelWritesNothingAndAFailureIsReported) {
  const auto log = [&](std::string_view text) {
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", clock, where).append(text));
  };
  const auto out = [&](const std::string& name) { return (folder / "out" / name).string(); };
  // The parent answers the save panel with `response`, in the folder "out", naming it `name`.
  const auto save = [&](const std::string& name, Gtk::ResponseType response) {
    auto window = parentsWindow();
    window->outlets().btnHistory->activate();
    EXPECT_TRUE(
        waitUntil([&] { return window->savePanel() && window->savePanel()->get_visible(); }));
    log("after.example");
    Gtk::FileChooserDialog& panel = *window->savePanel();
    const auto inFolder = [&](const fs::path& wanted) {
      const auto current = panel.get_current_folder();
      return current && (wanted.empty() || current->get_path() == wanted.string());
    };
    // A folder picked before the panel has settled on its own first one would be overruled.
    EXPECT_TRUE(waitUntil([&] { return inFolder({}); }));
    panel.set_current_folder(Gio::File::create_for_path(folder / "out"));
    EXPECT_TRUE(waitUntil([&] { return inFolder(folder / "out"); }));
    panel.set_current_name(name);
    panel.response(response);
    EXPECT_TRUE(waitUntil([&] { return !panel.get_visible(); }));
    return window;
  };
  fs::create_directories(out("taken.txt"));  // where that report would go stands a folder
  log("kids.example");
  const std::string report = parents::assembleReport(folder / "hts", clock.now(), where);
  EXPECT_TRUE(save("week", Gtk::ResponseType::ACCEPT)->window().get_visible());
  EXPECT_EQ(readFile(out("week.txt")), report);
  EXPECT_TRUE(save("none", Gtk::ResponseType::CANCEL)->window().get_visible());
  EXPECT_FALSE(fs::exists(out("none.txt")) || fs::exists(out("none")));
  const auto window = save("taken", Gtk::ResponseType::ACCEPT);
  ASSERT_TRUE(waitUntil([&] { return alerts.size() == 1; }));
  EXPECT_EQ(alerts.alerts()[0].message, "History Not Saved");
  EXPECT_NE(alerts.alerts()[0].informative.find(out("taken.txt")), std::string::npos);
  EXPECT_TRUE(window->window().get_visible());
}

// The desktop's language, as LANGUAGE gives it; "" is the locale's own (English here).
void speak(const char* language) {
  setenv("LANGUAGE", language, 1);
  ++_nl_msg_cat_cntr;
}

// Brings the History section on screen, as its switch does, and keeps a picture of it.
void screenshot(parents::FrmParentController& parents, const std::string& name) {
  auto& sections =
      *dynamic_cast<Gtk::Stack*>(parents.history().widget().get_ancestor(Gtk::Stack::get_type()));
  sections.set_visible_child("history");
  parents.window().present();
  ASSERT_TRUE(waitUntil([&] { return parents.history().widget().get_mapped(); }));
  keepScreenshot(name);
}

// The History section over a week written by the history log ("today" is 2 January 2025):
// it charts the week, searches its lines, and fills a free blocked-site field on "Block this
// site" (saved with the rest). The windows and alerts speak the desktop's language, English
// without a translation.
TEST_F(ParentsWindow, HistoryChartsTheWeekSearchesItsLinesBlocksASiteAndFollowsTheLanguage) {
  for (const auto& [day, hour, text] :
       {std::tuple{2, 9, "kids.example/games"}, {2, 10, "http://www.kids.example/maths"},
        {2, 11, "news.example"}, {31, 8, "kids.example"}, {27, 12, "games.example"}}) {
    platform::FixedClock at(localTime(day > 2 ? 2024 : 2025, day > 2 ? 12 : 1, day, hour, 0, 0,
                                      "Europe/Berlin"));
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", at, where).append(text));
  }
  store({{"PD", "secret"}, {"BW0", "ads.example"}, {"BW2", "tracker.example"}});
  {
    auto parents = parentsWindow();
    parents::HistoryView& history = parents->history();
    std::string bars;
    for (const auto& bar : history.bars()) bars += bar.day + " " + std::to_string(bar.pages) + ",";
    EXPECT_EQ(bars, "Fri 1,Sat 0,Sun 0,Mon 0,Tue 1,Wed 0,Thu 3,");
    screenshot(*parents, "history-en");
    const auto shown = history.shownLines();
    EXPECT_EQ(shown->get_n_items(), 5u);
    EXPECT_EQ(history.lineAt(shown->get_object(0)).address, "news.example");
    history.searchField().set_text("KIDS");
    ASSERT_TRUE(waitUntil([&] { return shown->get_n_items() == 3; }));
    EXPECT_EQ(history.lineAt(shown->get_object(0)).address, "http://www.kids.example/maths");

    ASSERT_NE(history.blockButton(0), nullptr);  // kids.example, seen three times
    history.blockButton(0)->activate();
    ASSERT_TRUE(waitUntil([&] { return parents->outlets().txtfieldbw[1]->get_text() != ""; }));
    EXPECT_EQ(parents->outlets().txtfieldbw[1]->get_text(), "kids.example");
    history.blockButton(0)->activate();  // a site already listed is not listed twice
    settle();
    EXPECT_EQ(parents->outlets().txtfieldbw[3]->get_text(), "");
    EXPECT_EQ(settings.value("BW1"), "");  // nothing is saved before Save and Close
    EXPECT_TRUE(alerts.alerts().empty());
    for (Gtk::Entry* field : parents->outlets().txtfieldbw) {
      if (field->get_text().empty()) field->set_text("typed.example");
    }
    history.blockButton(1)->activate();  // a full list says so and changes nothing
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == 1; }));
    EXPECT_EQ(alerts.alerts()[0].message, "Blocked Sites Full");
    parents->outlets().btnClose->activate();
    ASSERT_TRUE(waitUntil([&] { return !parents->window().get_visible(); }));
    EXPECT_EQ(settings.value("BW1"), "kids.example");
    EXPECT_EQ(settings.value("BW8"), "typed.example");
  }
  const struct {
    const char *language, *parentsTitle, *promptTitle, *alert;
  } languages[] = {
      {"xx", "Parents' Settings", "Open Parents Menu", "Invalid Password"},
      {"de", "Einstellungen für Eltern", "Elternmenü öffnen", "Falsches Passwort"},
      {"fr", "Réglages des parents", "Ouvrir le menu des parents", "Mot de passe incorrect"},
      {"es", "Ajustes para padres", "Abrir el menú de padres", "Contraseña incorrecta"},
  };
  for (const auto& language : languages) {
    SCOPED_TRACE(language.language);
    speak(language.language);
    {
      auto parents = parentsWindow();
      EXPECT_EQ(parents->window().get_title(), language.parentsTitle);
      if (std::string(language.language) == "de") screenshot(*parents, "history-de");
    }
    const auto guard = prompt(kParentsMenu);
    EXPECT_EQ(guard->window().get_title(), language.promptTitle);
    const std::size_t before = alerts.size();
    enterPassword(*guard, "wrong");
    ASSERT_TRUE(waitUntil([&] { return alerts.size() == before + 1; }));
    EXPECT_EQ(alerts.alerts().back().informative, language.alert);
  }
  speak("");
}

// The administrator's value shows in its field, locked with its note, and takes no changes; the
// line under a blocked-site field explains the entry as typed and under the switch; the save
// leaves the managed key alone and names only what it changed, never a value. A managed file
// that cannot be read at all is said in the window, not passed over.
TEST_F(ParentsWindow, AdministeredFieldsAreLockedOthersExplainTheirEntryAndSavesNameKeysOnly) {
  settings = storage::SettingsFile(settingsPath(), folder / "managed.plist");
  Journal journal;
  store({{"PD", "parent"}, {"BW1", "youtube.com/watch"}, {"BW3", "parent.example"}});
  writeFile(folder / "managed.plist", propertyList({{"BW3", "school.example"}, {"AB", "ON"}}));
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.txtfieldbw[3]->get_text(), "school.example");
  EXPECT_FALSE(outlets.txtfieldbw[3]->get_sensitive());
  EXPECT_EQ(outlets.txtfieldbw[3]->get_tooltip_text(), "Set by your administrator");
  EXPECT_FALSE(outlets.btnCheck->get_sensitive());
  EXPECT_TRUE(outlets.txtfieldbw[2]->get_sensitive());
  EXPECT_TRUE(outlets.lblAdministered->get_visible());
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "never matches: an entry with a '/' is never a host");
  EXPECT_FALSE(outlets.explainbw[0]->get_visible());
  outlets.btnWholeSites->activate();
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "blocks youtube.com and every address under it");
  outlets.txtfieldbw[0]->grab_focus();
  outlets.txtfieldbw[0]->set_text("M.Example.ORG");
  ASSERT_TRUE(waitUntil([&] { return outlets.explainbw[0]->get_visible(); }));
  EXPECT_EQ(outlets.explainbw[0]->get_text(), "blocks m.example.org and every address under it");
  outlets.txtfieldpassword->set_text("secret value");
  outlets.txtfieldbw[2]->set_text("new.example");
  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));
  EXPECT_EQ(storage::SettingsFile(settingsPath()).value("BW3"), "parent.example");
  const auto saved = journal.events("settings-saved");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].at("HARBINEL_KEYS"), "PD BW0 BW2 WS");
  EXPECT_EQ(saved[0].at("MESSAGE").find("secret"), std::string::npos);

  writeFile(folder / "managed.plist", "<plist><dict><key>BW0</key>");
  const auto unreadable = parentsWindow();
  EXPECT_TRUE(unreadable->outlets().txtfieldbw[3]->get_sensitive());
  EXPECT_NE(unreadable->outlets().lblAdministered->get_text().raw().find("managed.plist"),
            std::string::npos);
}

}  // namespace
}  // namespace harbinel::test

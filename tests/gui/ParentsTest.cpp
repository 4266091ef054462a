// The password prompt and the parents' window: which control calls what, which alert says what,
// and what reaches the settings file.
#include <gtkmm/dialog.h>
#include <gtkmm/settings.h>
#include <gtkmm/stack.h>

#include <glibmm/main.h>

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
using ParentsWindow = ParentControls;
using Entries = std::vector<std::pair<std::string, std::string>>;

// Stands in for the window that opened the prompt or the parents' window: counts the times it
// is told that the settings were saved.
struct Opener : browser::myprotocolpassword, parents::myprotocolparent {
  void showhideAddressBar() override { ++told; }
  int told = 0;
};

// Every refusal is said and logged as an event, and the prompt stays open with the focus back in
// its field, in either use, from OK or Enter (the match itself is the core's). The stored password
// is read at each attempt (here stored after the prompt opened). From the third wrong password on
// (the pace is the core's), OK is disabled with the countdown shown and Enter does nothing, in
// every prompt of the run, until the wait ends. Cancel never checks, not even the right password.
TEST_F(PasswordPrompt, RefusesWhatDoesNotMatchExactlyAndPacesTheTries) {
  const struct {
    const char* stored;  // nullptr: no PD key at all
    std::string entered;
    std::string informative;
  } refusals[] = {{"Secret", "secret", "Invalid Password"},
                  {"Secret", "", "Please Enter a Password"},
                  {nullptr, "Secret", "Invalid Password"},
                  {"Secret", "wrong", "Invalid Password"}};
  parents::PasswordPacing paced(clock);
  pacing = &paced;
  Journal journal;
  Prompt guard;
  for (const auto& refusal : refusals) {
    SCOPED_TRACE("[" + std::string(refusal.stored ? refusal.stored : "(absent)") + "] [" +
                 refusal.entered + "]");
    const bool byEnter = (&refusal - refusals) % 2 == 1;
    guard = prompt(byEnter ? kParentsMenu : kCloseApplication);
    store(refusal.stored ? Entries{{"PD", refusal.stored}} : Entries{});
    auto& field = *guard->outlets().txtfieldpassword;
    field.set_text(refusal.entered);
    field.grab_focus();
    const std::size_t before = alerts.alerts.size();
    byEnter ? pressEnter(field) : void(guard->outlets().btnOk->activate());
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts.size() == before + 1; }));
    EXPECT_EQ(alerts.alerts.back(), AlertRecorder::Shown("Validation Error", refusal.informative));
    EXPECT_TRUE(guard->window().get_visible() && guard->window().get_sensitive());
    const Gtk::Widget* focus = guard->window().get_focus();  // (in the text widget inside)
    EXPECT_TRUE(focus != nullptr && focus->is_ancestor(field)) << "the next try goes in at once";
    EXPECT_EQ(guard->frmparentcontroller(), nullptr);
  }
  EXPECT_EQ(journal.events("wrong-password").size(), 3u);
  const auto& outlets = guard->outlets();
  EXPECT_FALSE(outlets.btnOk->get_sensitive());
  EXPECT_EQ(outlets.lblWait->get_text(),
            "Too many wrong passwords. You can try again in 2 seconds.");
  keepScreenshot("paced-password-prompt", guard->window());
  pressEnter(*outlets.txtfieldpassword);
  settle();
  EXPECT_EQ(alerts.alerts.size(), 4u);
  const auto again = prompt(kParentsMenu);
  EXPECT_FALSE(again->outlets().btnOk->get_sensitive());
  clock.set(clock.now() + std::chrono::seconds(2));
  EXPECT_TRUE(waitUntil([&] { return outlets.btnOk->get_sensitive(); }));
  EXPECT_FALSE(outlets.lblWait->get_visible());

  store({{"PD", "Secret"}});
  again->outlets().txtfieldpassword->set_text("Secret");
  again->outlets().btnCancel->activate();
  ASSERT_TRUE(waitUntil([&] { return !again->window().get_visible(); }));
  EXPECT_EQ(again->frmparentcontroller(), nullptr) << "Cancel never checks";
}

// A switch keeps the stored text, whatever it is, until the parent clicks it. Close is the
// only way out: the window manager's close would leave the sessions waiting for ever.
TEST_F(ParentsWindow, SavesTheSwitchesAsReadUntilClickedOnlyCloseClosesAndFailuresAreSaid) {
  const struct {
    const char* stored;  // nullptr: no such key at all
    bool shownOn;
    int clicks;
    std::string saved;
    const char* key = "AB";
  } cases[] = {{"ON", true, 0, "ON"},       {"on", false, 0, "on"}, {nullptr, false, 0, ""},
               {"on", false, 1, "ON"},      {"ON", true, 1, "OFF"}, {"ON", true, 2, "ON"},
               {"ON", true, 1, "OFF", "OF"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + (c.stored ? c.stored : "(absent)") + " " +
                 std::to_string(c.clicks));
    store(c.stored ? Entries{{"PD", "x"}, {c.key, c.stored}} : Entries{{"PD", "x"}});
    Opener opener;
    const auto window = parentsWindow(&opener);
    auto* button =
        std::string(c.key) == "OF" ? window->outlets().btnOnlyAllowed : window->outlets().btnCheck;
    EXPECT_EQ(button->get_active(), c.shownOn);
    for (int i = 0; i < c.clicks; ++i) button->activate();
    window->window().close();
    EXPECT_TRUE(window->window().get_visible());
    EXPECT_EQ(opener.told, 0);
    window->outlets().btnClose->activate();
    ASSERT_TRUE(waitUntil([&] { return opener.told == 1; }));
    EXPECT_FALSE(window->window().get_visible());
    EXPECT_EQ(settings.value(c.key), c.saved);
  }
  // A save that fails tells the parent what was lost, leaves the file as it was, and still
  // closes the window and tells the opener, as a save that works does.
  writeFile(settingsPath(), "PD=Secret\nBW0=kept\n");
  Opener opener;
  const auto failing = parentsWindow(&opener);
  failing->outlets().txtfieldpassword->set_text("changed");
  failing->outlets().btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return opener.told == 1; }));
  EXPECT_EQ(readFile(settingsPath()), "PD=Secret\nBW0=kept\n");
  EXPECT_FALSE(failing->window().get_visible());
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].first, "Settings Not Saved");
  EXPECT_NE(alerts.alerts[0].second.find(settingsPath().string()), std::string::npos);
}

// In the history button's save panel, Cancel writes nothing and a failed write is reported; the
// parents' window stays open. (A report saved as named is the end-to-end journey's.)
TEST_F(ParentsWindow, SavingTheReportCancelWritesNothingAndAFailureIsReported) {
  const auto out = [&](const std::string& name) { return (folder / "out" / name).string(); };
  // The parent answers the save panel with `response`, in the folder "out", naming it `name`.
  const auto save = [&](const std::string& name, Gtk::ResponseType response) {
    auto window = parentsWindow();
    window->outlets().btnHistory->activate();
    EXPECT_TRUE(
        waitUntil([&] { return window->savePanel() && window->savePanel()->get_visible(); }));
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
  EXPECT_TRUE(save("none", Gtk::ResponseType::CANCEL)->window().get_visible());
  EXPECT_FALSE(fs::exists(out("none.txt")) || fs::exists(out("none")));
  const auto window = save("taken", Gtk::ResponseType::ACCEPT);
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts.size() == 1; }));
  EXPECT_EQ(alerts.alerts[0].first, "History Not Saved");
  EXPECT_NE(alerts.alerts[0].second.find(out("taken.txt")), std::string::npos);
  EXPECT_TRUE(window->window().get_visible());
}

// The History section over a week written by the history log ("today" is 2 January 2025):
// it charts the week, lists its lines, and fills a free blocked-site field on "Block this
// site" (saved with the rest).
TEST_F(ParentsWindow, HistoryChartsTheWeekListsItsLinesAndBlocksASite) {
  for (const auto& [day, hour, text] : {std::tuple{2, 9, "kids.example/games"},
                                        {2, 10, "http://www.kids.example/maths"},
                                        {2, 11, "news.example"},
                                        {31, 8, "kids.example"},
                                        {27, 12, "games.example"}}) {
    platform::FixedClock at(
        localTime(day > 2 ? 2024 : 2025, day > 2 ? 12 : 1, day, hour, 0, 0, "Europe/Berlin"));
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", at, where).append(text));
  }
  store({{"PD", "secret"}, {"BW0", "ads.example"}, {"BW2", "tracker.example"}});
  auto parents = parentsWindow();
  parents::HistoryView& history = parents->history();
  std::string bars;
  for (const auto& bar : history.bars()) bars += bar.day + " " + std::to_string(bar.pages) + ",";
  EXPECT_EQ(bars, "Fri 1,Sat 0,Sun 0,Mon 0,Tue 1,Wed 0,Thu 3,");
  // The rows, and their buttons, are made once the section shows.
  dynamic_cast<Gtk::Stack&>(*history.widget().get_ancestor(GTK_TYPE_STACK))
      .set_visible_child("history");
  ASSERT_TRUE(waitUntil([&] { return history.widget().get_mapped(); }));
  keepScreenshot("history-en", parents->window());
  // The chart draws in the theme's text colour, light on dark.
  Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = true;
  keepScreenshot("history-dark", parents->window());
  EXPECT_GT(history.chartInk().get_red(), 0.5);
  Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = false;
  const auto shown = history.shownLines();
  EXPECT_EQ(shown->get_n_items(), 5u);
  EXPECT_EQ(history.lineAt(shown->get_object(0)).address, "news.example");
  history.searchField().set_text("KIDS");
  ASSERT_TRUE(waitUntil([&] { return shown->get_n_items() == 3; }));
  history.searchField().set_text("");

  ASSERT_NE(history.blockButton(0), nullptr);  // kids.example, seen three times
  history.blockButton(0)->activate();
  ASSERT_TRUE(waitUntil([&] { return parents->outlets().txtfieldbw[1]->get_text() != ""; }));
  EXPECT_EQ(parents->outlets().txtfieldbw[1]->get_text(), "kids.example");
  history.blockButton(0)->activate();  // a site already listed is not listed twice
  settle();
  EXPECT_EQ(parents->outlets().txtfieldbw[3]->get_text(), "");
  EXPECT_EQ(settings.value("BW1"), "");  // nothing is saved before Save and Close
  EXPECT_TRUE(alerts.alerts.empty());
  for (Gtk::Entry* field : parents->outlets().txtfieldbw) {
    if (field->get_text().empty()) field->set_text("typed.example");
  }
  history.blockButton(1)->activate();  // a full list says so and changes nothing
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts.size() == 1; }));
  EXPECT_EQ(alerts.alerts[0].first, "Blocked Sites Full");
  parents->outlets().btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !parents->window().get_visible(); }));
  EXPECT_EQ(settings.value("BW1"), "kids.example");
  EXPECT_EQ(settings.value("BW8"), "typed.example");

  // The windows and alerts speak the desktop's language.
  setenv("LANGUAGE", "de", 1);
  ++_nl_msg_cat_cntr;
  const auto german = parentsWindow();
  EXPECT_EQ(german->window().get_title(), "Einstellungen für Eltern");
  dynamic_cast<Gtk::Stack&>(*german->history().widget().get_ancestor(GTK_TYPE_STACK))
      .set_visible_child("history");
  ASSERT_TRUE(waitUntil([&] { return german->history().widget().get_mapped(); }));
  keepScreenshot("history-de", german->window());
  unsetenv("LANGUAGE");
  ++_nl_msg_cat_cntr;
}

// The administrator's value shows in its field, locked with its note, and takes no changes; the
// save leaves the managed key alone, keeps each slot in its place (blocked sites normalised, the
// password and favourites as typed) and names only what it changed, never a value. A managed file
// that cannot be read at all is said in the window, not passed over.
TEST_F(ParentsWindow, AdministeredFieldsAreLockedAndSavesNameKeysOnly) {
  settings = storage::SettingsFile(settingsPath(), folder / "managed.plist");
  Journal journal;
  store({{"PD", "parent"}, {"BW1", "youtube.com/watch"}, {"BW3", "parent.example"}});
  storage::SettingsFile(folder / "managed.plist").save({{"BW3", "school.example"}, {"AB", "ON"}});
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.txtfieldbw[3]->get_text(), "school.example");
  EXPECT_FALSE(outlets.txtfieldbw[3]->get_sensitive());
  EXPECT_EQ(outlets.txtfieldbw[3]->get_tooltip_text(), "Set by your administrator");
  EXPECT_FALSE(outlets.btnCheck->get_sensitive());
  EXPECT_TRUE(outlets.txtfieldbw[2]->get_sensitive());
  EXPECT_TRUE(outlets.lblAdministered->get_visible());
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "never matches: an entry with a '/' is never a host");
  outlets.btnWholeSites->activate();
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "blocks youtube.com and every address under it");
  outlets.txtfieldbw[0]->grab_focus();
  outlets.txtfieldbw[0]->set_text("M.Example.ORG");
  ASSERT_TRUE(waitUntil([&] { return outlets.explainbw[0]->get_visible(); }));
  EXPECT_EQ(outlets.explainbw[0]->get_text(), "blocks m.example.org and every address under it");
  outlets.txtfieldpassword->set_text(" secret value");
  outlets.txtfieldbw[2]->set_text("new.example");
  outlets.txtfieldbw[8]->set_text("https://www.toys.example/shop");
  outlets.txtfieldfw[8]->set_text("  http://www.fun.example/ ");
  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));
  const auto own = storage::SettingsFile(settingsPath()).load();
  EXPECT_EQ(storage::valueOf(own, "BW3"), "parent.example");
  EXPECT_EQ(storage::valueOf(own, "PD") + "|" + storage::valueOf(own, "BW8") + "|" +
                storage::valueOf(own, "FW8"),
            " secret value|toys.example/shop|  http://www.fun.example/ ");
  const auto saved = journal.events("settings-saved");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].at("HARBINEL_KEYS"), "PD BW0 BW2 BW8 FW8 WS");
  EXPECT_EQ(saved[0].at("MESSAGE").find("secret"), std::string::npos);

  writeFile(folder / "managed.plist", "<plist><dict><key>BW0</key>");
  const auto unreadable = parentsWindow();
  EXPECT_TRUE(unreadable->outlets().txtfieldbw[3]->get_sensitive());
  EXPECT_NE(unreadable->outlets().lblAdministered->get_text().raw().find("managed.plist"),
            std::string::npos);
}

}  // namespace
}  // namespace harbinel::test

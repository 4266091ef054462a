#include <gtest/gtest.h>
#include <gtkmm/settings.h>
#include <gtkmm/snapshot.h>
#include <gtkmm/stack.h>
#include <gtkmm/widgetpaintable.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/HistoryLog.h"
#include "tests/gui/ParentsSupport.h"

extern "C" int _nl_msg_cat_cntr;  // glibc's count that makes gettext forget its cached texts

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;

// The parents' window over a week of history written by the history log; "today" is
// 2 January 2025.
class HistorySection : public ParentControls {
 protected:
  void SetUp() override {
    log(2, 9, "kids.example/games");
    log(2, 10, "http://www.kids.example/maths");
    log(2, 11, "news.example");
    log(31, 8, "kids.example");
    log(27, 12, "games.example");
  }
  void TearDown() override { speak(""); }

  void log(int day, int hour, std::string_view text) {
    const int month = day > 2 ? 12 : 1;
    platform::FixedClock at(
        localTime(day > 2 ? 2024 : 2025, month, day, hour, 0, 0, "Europe/Berlin"));
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", at, where).append(text));
  }

  // The desktop's language, as LANGUAGE gives it; "" is the locale's own (English here).
  static void speak(const char* language) {
    setenv("LANGUAGE", language, 1);
    ++_nl_msg_cat_cntr;
  }

  // Brings the History section on screen, as its switch does.
  static void showHistory(parents::FrmParentController& parents) {
    auto& sections =
        *dynamic_cast<Gtk::Stack*>(parents.history().widget().get_ancestor(Gtk::Stack::get_type()));
    sections.set_visible_child("history");
    parents.window().present();
    ASSERT_TRUE(waitUntil([&] { return parents.history().widget().get_mapped(); }));
    settle();
  }

  // Shows the History section and keeps a picture of it under the build folder.
  static void screenshot(parents::FrmParentController& parents, const std::string& name) {
    showHistory(parents);
    Gtk::Widget& root = parents.window();
    fs::create_directories(HARBINEL_SCREENSHOTS);
    const auto paintable = Gtk::WidgetPaintable::create(root);
    const auto snapshot = Gtk::Snapshot::create();
    paintable->snapshot(snapshot, root.get_width(), root.get_height());
    GskRenderNode* node = gtk_snapshot_to_node(snapshot->gobj());
    ASSERT_NE(node, nullptr);
    const graphene_rect_t all = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(root.get_width()),
                                                   static_cast<float>(root.get_height()));
    // A renderer of its own: borrowing the window's would leave its drawing context current.
    GskRenderer* renderer = gsk_cairo_renderer_new();
    ASSERT_TRUE(gsk_renderer_realize(renderer, nullptr, nullptr));
    GdkTexture* picture = gsk_renderer_render_texture(renderer, node, &all);
    gsk_render_node_unref(node);
    gsk_renderer_unrealize(renderer);
    g_object_unref(renderer);
    EXPECT_TRUE(gdk_texture_save_to_png(
        picture, (fs::path(HARBINEL_SCREENSHOTS) / (name + ".png")).c_str()));
    g_object_unref(picture);
  }
};

TEST_F(HistorySection, ChartsTheWeekSearchesItsLinesAndBlocksASiteOnSave) {
  store({{"BW0", "ads.example"}, {"BW2", "tracker.example"}});
  auto parents = parentsWindow();
  parents::HistoryView& history = parents->history();

  std::vector<std::string> bars;
  for (const auto& bar : history.bars()) bars.push_back(bar.day + " " + std::to_string(bar.pages));
  EXPECT_EQ(bars, (std::vector<std::string>{"Fri 1", "Sat 0", "Sun 0", "Mon 0", "Tue 1", "Wed 0",
                                            "Thu 3"}));
  screenshot(*parents, "history-en");
  // The chart draws in the theme's text colour, light on dark.
  Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = true;
  screenshot(*parents, "history-dark");
  EXPECT_GT(history.chartInk().get_red(), 0.5);
  Gtk::Settings::get_default()->property_gtk_application_prefer_dark_theme() = false;

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

  // A full list says so and changes nothing.
  for (Gtk::Entry* field : parents->outlets().txtfieldbw) {
    if (field->get_text().empty()) field->set_text("typed.example");
  }
  history.blockButton(1)->activate();
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));
  EXPECT_EQ(alerts.alerts()[0].message, "Blocked Sites Full");

  parents->outlets().btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !parents->window().get_visible(); }));
  EXPECT_EQ(settings.value("BW1"), "kids.example");
  EXPECT_EQ(settings.value("BW8"), "typed.example");
}

// The windows and alerts speak the desktop's language, English without a translation.
TEST_F(HistorySection, WindowsAndAlertsFollowTheDesktopLanguage) {
  const struct {
    const char* language;
    const char* parentsTitle;
    const char* promptTitle;
    const char* alert;
  } languages[] = {
      {"", "Parents' Settings", "Open Parents Menu", "Invalid Password"},
      {"xx", "Parents' Settings", "Open Parents Menu", "Invalid Password"},
      {"de", "Einstellungen für Eltern", "Elternmenü öffnen", "Falsches Passwort"},
      {"fr", "Réglages des parents", "Ouvrir le menu des parents", "Mot de passe incorrect"},
      {"es", "Ajustes para padres", "Abrir el menú de padres", "Contraseña incorrecta"},
  };
  store({{"PD", "secret"}});
  for (const auto& language : languages) {
    SCOPED_TRACE(language.language);
    speak(language.language);
    {
      auto parents = parentsWindow();
      EXPECT_EQ(parents->window().get_title(), language.parentsTitle);
      if (std::string(language.language) == "de") screenshot(*parents, "history-de");
    }
    const auto guard = prompt(parents::kParentsMenu);
    EXPECT_EQ(guard->window().get_title(), language.promptTitle);
    const std::size_t before = alerts.alerts().size();
    guard->outlets().txtfieldpassword->set_text("wrong");
    guard->outlets().btnOk->activate();
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == before + 1; }));
    EXPECT_EQ(alerts.alerts().back().informative, language.alert);
  }
}

}  // namespace
}  // namespace harbinel::test

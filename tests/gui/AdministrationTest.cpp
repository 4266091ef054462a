// What an administrator sees of the kiosk: the events in the system journal, and the settings
// they fixed shown locked in the parents' window.
#include <glib.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/gui/BrowserFixture.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

// Takes the program's structured log at the writer, where the journal would take it.
class JournalRecorder {
 public:
  using Entry = std::map<std::string, std::string>;
  JournalRecorder() {
    current() = this;
    static const bool installed = [] {
      g_log_set_writer_func(write, nullptr, nullptr);
      return true;
    }();
    (void)installed;
  }
  ~JournalRecorder() { current() = nullptr; }
  std::vector<Entry> events(const std::string& kind) const {
    std::vector<Entry> found;
    for (const Entry& entry : entries_) {
      if (entry.count("HARBINEL_EVENT") && entry.at("HARBINEL_EVENT") == kind) {
        found.push_back(entry);
      }
    }
    return found;
  }

 private:
  static JournalRecorder*& current() {
    static JournalRecorder* recorder = nullptr;
    return recorder;
  }
  static GLogWriterOutput write(GLogLevelFlags level, const GLogField* fields, gsize count,
                                gpointer) {
    if (current() != nullptr) {
      Entry entry;
      for (gsize i = 0; i < count; ++i) {
        const auto* value = static_cast<const char*>(fields[i].value);
        entry[fields[i].key] = fields[i].length < 0 ? std::string(value)
                                                    : std::string(value, fields[i].length);
      }
      current()->entries_.push_back(std::move(entry));
    }
    return g_log_writer_default(level, fields, count, nullptr);
  }
  std::vector<Entry> entries_;
};

using Journal = BrowserTest;

TEST_F(Journal, TypedAndRefusedAddressesAreEventsWithTheirOwnFields) {
  JournalRecorder journal;
  ASSERT_TRUE(settings.save({{"BW0", "blocked.test"}}).ok());
  server.page("blocked.test/x", {.body = titled("Blocked")});
  AlertRecorder alerts;
  open();
  enter("http://www.blocked.test/x");
  expectRefused(alerts);

  const auto typed = journal.events("typed");
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_EQ(typed[0].at("HARBINEL_ADDRESS"), "http://www.blocked.test/x");
  EXPECT_EQ(typed[0].at("HARBINEL_HOST"), "blocked.test");
  EXPECT_EQ(typed[0].at("SYSLOG_IDENTIFIER"), "harbinel");
  const auto refused = journal.events("refused");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].at("HARBINEL_ADDRESS"), "blocked.test/x");
  EXPECT_EQ(refused[0].at("HARBINEL_HOST"), "blocked.test");
  EXPECT_EQ(refused[0].at("MESSAGE"), "Harbinel refused blocked.test/x");
  EXPECT_EQ(refused[0].at("HARBINEL_LIST"), "BW0");
}

class Administered : public ParentControls {
 protected:
  Administered() { settings = storage::SettingsFile(settingsPath(), folder / "managed.plist"); }
};

// The field shows the administrator's value and takes no changes; the save leaves the key
// alone and names only what it changed, never a value.
TEST_F(Administered, FieldsAreLockedWithTheirNoteAndSavesNameTheChangedKeysOnly) {
  JournalRecorder journal;
  store({{"PD", "parent"}, {"BW3", "parent.example"}});
  writeFile(folder / "managed.plist", propertyList({{"BW3", "school.example"}, {"AB", "ON"}}));
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.txtfieldbw[3]->get_text(), "school.example");
  EXPECT_FALSE(outlets.txtfieldbw[3]->get_sensitive());
  EXPECT_EQ(outlets.txtfieldbw[3]->get_tooltip_text(), "Set by your administrator");
  EXPECT_FALSE(outlets.btnCheck->get_sensitive());
  EXPECT_TRUE(outlets.txtfieldbw[2]->get_sensitive());
  EXPECT_TRUE(outlets.lblAdministered->get_visible());

  outlets.txtfieldpassword->set_text("secret value");
  outlets.txtfieldbw[2]->set_text("new.example");
  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));
  EXPECT_EQ(storage::SettingsFile(settingsPath()).value("BW3"), "parent.example");
  const auto saved = journal.events("settings-saved");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].at("HARBINEL_KEYS"), "PD BW2");
  EXPECT_EQ(saved[0].at("MESSAGE").find("secret"), std::string::npos);

  // A file that cannot be read at all is said in the window, not passed over.
  writeFile(folder / "managed.plist", "<plist><dict><key>BW0</key>");
  const auto unreadable = parentsWindow();
  EXPECT_TRUE(unreadable->outlets().txtfieldbw[3]->get_sensitive());
  EXPECT_NE(unreadable->outlets().lblAdministered->get_text().raw().find("managed.plist"),
            std::string::npos);
}

TEST_F(Administered, AWrongPasswordIsAnEvent) {
  JournalRecorder journal;
  store({{"PD", "right"}});
  const auto guard = prompt(parents::kParentsMenu);
  enterPassword(*guard, "wrong");
  EXPECT_EQ(journal.events("wrong-password").size(), 1u);
}

}  // namespace
}  // namespace harbinel::test

#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/columnview.h>
#include <gtkmm/drawingarea.h>
#include <gtkmm/filter.h>
#include <gtkmm/filterlistmodel.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/searchentry.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "parents/WeekHistory.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "platform/WindowResource.h"

namespace harbinel::parents {

// The History section of the parents' window: a bar chart of the pages of each day of the
// week, the ten sites seen most with a "Block this site" button each, and every line of the
// week, newest first, with a search field. It shows the week as it was when it was made.
class HistoryView {
 public:
  struct Services {
    std::filesystem::path resourceFolder;  // holds HistoryView.ui
    std::filesystem::path historyFolder;
    platform::TimePoint now;
    platform::DateLocale where;
    std::function<void(const std::string& host)> blockSite;  // "Block this site"
  };

  explicit HistoryView(Services services);
  ~HistoryView();
  HistoryView(const HistoryView&) = delete;
  HistoryView& operator=(const HistoryView&) = delete;

  Gtk::Widget& widget() { return *root_; }

  // What the chart draws, oldest day first: the locale's short day name and the day's pages.
  struct Bar {
    std::string day;
    int pages = 0;
  };
  const std::vector<Bar>& bars() const { return bars_; }
  // The colour the chart draws its bars and labels in: the theme's text colour.
  Gdk::RGBA chartInk() const;

  // The controls, for the parents' window and its tests.
  Gtk::SearchEntry& searchField() { return *search_; }
  // The lines the list shows now, after the search.
  Glib::RefPtr<Gio::ListModel> shownLines() { return filtered_; }
  const HistoryLine& lineAt(const Glib::RefPtr<Glib::ObjectBase>& item) const;
  // The "Block this site" button of the n-th site seen most (nullptr past the list).
  Gtk::Button* blockButton(std::size_t site) const;

 private:
  platform::DateLocale shownDates() const;
  void showChart();
  void showTopSites();
  void showLines();
  Gtk::ColumnViewColumn& column(const char* id) const;
  void drawChart(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height);
  bool matchesSearch(gpointer item) const;

  Services services_;
  WeekHistory week_;
  std::vector<Bar> bars_;
  std::vector<std::string> dayNames_;           // per day of the week, for the list
  std::vector<Glib::ustring> foldedAddresses_;  // per line, for a search in any letter case
  Glib::ustring foldedSearch_;
  std::vector<Gtk::Button*> blockButtons_;
  std::unique_ptr<platform::WindowResource> resource_;
  Gtk::Widget* root_ = nullptr;
  Gtk::DrawingArea* chart_ = nullptr;
  Gtk::SearchEntry* search_ = nullptr;
  Glib::RefPtr<Gtk::Filter> filter_;
  Glib::RefPtr<Gtk::FilterListModel> filtered_;
};

}  // namespace harbinel::parents

#include "parents/HistoryView.h"

#include <giomm/liststore.h>
#include <gtkmm/columnviewcolumn.h>
#include <gtkmm/listitem.h>
#include <gtkmm/noselection.h>
#include <gtkmm/signallistitemfactory.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/Translation.h"

namespace harbinel::parents {
namespace {

// One line of the list, as the list model holds it: its place in the week's lines.
class LineItem : public Glib::Object {
 public:
  static Glib::RefPtr<LineItem> create(std::size_t index) {
    return Glib::make_refptr_for_instance(new LineItem(index));
  }
  const std::size_t index;

 private:
  explicit LineItem(std::size_t at) : index(at) {}
};

// A column of plain labels, filled from the line each row shows.
Glib::RefPtr<Gtk::ListItemFactory> labelColumn(std::function<std::string(std::size_t)> text) {
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([](const Glib::RefPtr<Gtk::ListItem>& row) {
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_xalign(0);
    label->set_ellipsize(Pango::EllipsizeMode::END);
    row->set_child(*label);
  });
  factory->signal_bind().connect([text = std::move(text)](const Glib::RefPtr<Gtk::ListItem>& row) {
    const auto item = std::dynamic_pointer_cast<LineItem>(row->get_item());
    if (auto* label = dynamic_cast<Gtk::Label*>(row->get_child()); label && item) {
      label->set_text(text(item->index));
    }
  });
  return factory;
}

}  // namespace

HistoryView::HistoryView(Services services)
    : services_(std::move(services)),
      week_(readWeekHistory(services_.historyFolder, services_.now, services_.where)),
      resource_(
          std::make_unique<platform::WindowResource>(services_.resourceFolder, "HistoryView")),
      root_(&resource_->outlet<Gtk::Box>("historyView")),
      chart_(&resource_->outlet<Gtk::DrawingArea>("chart")),
      search_(&resource_->outlet<Gtk::SearchEntry>("search")) {
  showChart();
  showTopSites();
  showLines();
}

HistoryView::~HistoryView() = default;

// Day names are read beside the window's words: in their language, which may not be the
// locale the day files are named in.
platform::DateLocale HistoryView::shownDates() const {
  platform::DateLocale shown = services_.where;
  if (std::string language = platform::textLocale(); !language.empty()) {
    shown.locale = std::move(language);
  }
  return shown;
}

void HistoryView::showChart() {
  for (int day = kDaysInWeek - 1; day >= 0; --day) {
    bars_.push_back(
        {platform::formatDate(week_.days[day], "EEE", shownDates()), week_.pagesPerDay[day]});
  }
  // A screen reader cannot see the bars: it reads the counts instead.
  std::string counts;
  for (const Bar& bar : bars_) {
    // TRANSLATORS: one day of the chart as a screen reader says it: %1 is the day's short
    // name, %2 the pages seen that day.
    const char* day = g_dngettext(GETTEXT_PACKAGE, "%1: %2 page", "%1: %2 pages",
                                  static_cast<unsigned long>(bar.pages));
    counts += (counts.empty() ? "" : ", ") +
              Glib::ustring::compose(day, bar.day, std::to_string(bar.pages)).raw();
  }
  gtk_accessible_update_property(GTK_ACCESSIBLE(chart_->gobj()),
                                 GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, counts.c_str(), -1);
  chart_->set_draw_func([this](const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) {
    drawChart(cairo, width, height);
  });
}

// Seven bars side by side, oldest day on the left, each with its day name below and its count
// above, scaled to the tallest; drawn in the text colour so it follows a light or dark theme.
void HistoryView::drawChart(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) {
  const Gdk::RGBA ink = chartInk();
  int most = 1;
  for (const Bar& bar : bars_) most = std::max(most, bar.pages);
  auto label = chart_->create_pango_layout("");
  int textWidth = 0;
  int textHeight = 0;
  label->get_pixel_size(textWidth, textHeight);
  const double slot = static_cast<double>(width) / static_cast<double>(bars_.size());
  const double barTop = textHeight + 2;
  const double barBottom = height - textHeight - 4;
  const double tallest = std::max(0.0, barBottom - barTop);
  for (std::size_t at = 0; at < bars_.size(); ++at) {
    const Bar& bar = bars_[at];
    const double left = slot * static_cast<double>(at);
    const double barHeight = tallest * bar.pages / most;
    cairo->set_source_rgba(ink.get_red(), ink.get_green(), ink.get_blue(), 0.55);
    cairo->rectangle(left + slot * 0.2, barBottom - barHeight, slot * 0.6, barHeight);
    cairo->fill();
    cairo->set_source_rgba(ink.get_red(), ink.get_green(), ink.get_blue(), ink.get_alpha());
    for (const auto& [text, top] :
         {std::pair{bar.day, barBottom + 2},
          std::pair{std::to_string(bar.pages), barBottom - barHeight - textHeight - 1}}) {
      label->set_text(text);
      label->get_pixel_size(textWidth, textHeight);
      cairo->move_to(left + (slot - textWidth) / 2, top);
      label->show_in_cairo_context(cairo);
    }
  }
}

Gdk::RGBA HistoryView::chartInk() const {
  return chart_->get_style_context()->get_color();
}

void HistoryView::showTopSites() {
  auto& grid = resource_->outlet<Gtk::Grid>("topSites");
  resource_->outlet<Gtk::Label>("noSites").set_visible(week_.topSites.empty());
  for (std::size_t at = 0; at < week_.topSites.size(); ++at) {
    const SiteCount& site = week_.topSites[at];
    const int row = static_cast<int>(at);
    auto* host = Gtk::make_managed<Gtk::Label>(site.host);
    host->set_xalign(0);
    host->set_hexpand(true);
    host->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    host->set_max_width_chars(30);
    grid.attach(*host, 0, row);
    auto* pages = Gtk::make_managed<Gtk::Label>(std::to_string(site.pages));
    pages->set_xalign(1);
    grid.attach(*pages, 1, row);
    auto* block = Gtk::make_managed<Gtk::Button>(_("Block this site"));
    // Read out with its site: ten buttons of the same name would not say which is which.
    gtk_accessible_update_property(GTK_ACCESSIBLE(block->gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   Glib::ustring::compose(_("Block %1"), site.host).c_str(), -1);
    block->signal_clicked().connect([this, host = site.host] { services_.blockSite(host); });
    grid.attach(*block, 2, row);
    blockButtons_.push_back(block);
  }
}

void HistoryView::showLines() {
  for (const auto day : week_.days) {
    dayNames_.push_back(platform::formatDate(day, "EEE d MMM", shownDates()));
  }
  std::vector<Glib::RefPtr<LineItem>> items;
  items.reserve(week_.lines.size());
  foldedAddresses_.reserve(week_.lines.size());
  for (std::size_t at = 0; at < week_.lines.size(); ++at) {
    items.push_back(LineItem::create(at));
    foldedAddresses_.push_back(Glib::ustring(week_.lines[at].address).casefold());
  }
  auto store = Gio::ListStore<LineItem>::create();
  store->splice(0, 0, items);
  // gtkmm 4.8 has no wrapper of its own for GTK's custom filter.
  filter_ = Glib::wrap(GTK_FILTER(gtk_custom_filter_new(
      [](gpointer item, gpointer view) -> gboolean {
        return static_cast<const HistoryView*>(view)->matchesSearch(item);
      },
      this, nullptr)));
  filtered_ = Gtk::FilterListModel::create(store, filter_);
  auto& list = resource_->outlet<Gtk::ColumnView>("lines");
  list.set_model(Gtk::NoSelection::create(filtered_));
  column("dayColumn").set_factory(labelColumn([this](std::size_t at) {
    return dayNames_[week_.lines[at].day];
  }));
  column("timeColumn").set_factory(labelColumn([this](std::size_t at) {
    return week_.lines[at].time;
  }));
  column("addressColumn").set_factory(labelColumn([this](std::size_t at) {
    return week_.lines[at].address;
  }));
  search_->signal_search_changed().connect([this] {
    foldedSearch_ = search_->get_text().casefold();
    gtk_filter_changed(filter_->gobj(), GTK_FILTER_CHANGE_DIFFERENT);
  });
}

Gtk::ColumnViewColumn& HistoryView::column(const char* id) const {
  const auto found = resource_->builder()->get_object<Gtk::ColumnViewColumn>(id);
  if (!found) throw platform::WindowResourceError(std::string("HistoryView has no column ") + id);
  return *found;
}

bool HistoryView::matchesSearch(gpointer item) const {
  if (foldedSearch_.empty()) return true;
  const auto* line = dynamic_cast<const LineItem*>(Glib::wrap_auto(G_OBJECT(item), false));
  return line && foldedAddresses_[line->index].find(foldedSearch_) != Glib::ustring::npos;
}

const HistoryLine& HistoryView::lineAt(const Glib::RefPtr<Glib::ObjectBase>& item) const {
  return week_.lines.at(std::dynamic_pointer_cast<LineItem>(item)->index);
}

Gtk::Button* HistoryView::blockButton(std::size_t site) const {
  return site < blockButtons_.size() ? blockButtons_[site] : nullptr;
}

}  // namespace harbinel::parents

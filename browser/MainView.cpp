#include "browser/MainView.h"

#include <gtkmm/box.h>
#include <gtkmm/eventcontrollerfocus.h>

#include <glib.h>
#include <glibmm/main.h>

#include "browser/StartPage.h"

#include "filter/Address.h"
#include "parents/FrmPassword.h"
#include "platform/Alert.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/ModalSession.h"
#include "platform/ShownText.h"
#include "platform/Translation.h"

namespace harbinel::browser {

// ---------------------------------------------------------------------------------------------
// FullScreenableWindow

FullScreenableWindow::FullScreenableWindow(BaseObjectType* window,
                                           const Glib::RefPtr<Gtk::Builder>& /*builder*/,
                                           platform::WebView& webView, std::string homeAddress)
    : Gtk::Window(window),
      webView_(webView),
      homeAddress_(std::move(homeAddress)),
      presentation_(*this) {}

void FullScreenableWindow::awakeFromNib() {
  try {
    presentation_.setPresentationOptions(kKioskPresentationOptions);
  } catch (const platform::PresentationOptionsError&) {
    platform::logLine("Error.  Make sure you have a valid combination of options.");
  }
  // An inspector opened from the start (a debugging variable of the toolkit) closes again.
  gtk_window_set_interactive_debugging(false);
  maximize();
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  set_decorated(false);
  fullScreen_setValueFrame({static_cast<double>(screen.x), static_cast<double>(screen.y),
                            static_cast<double>(screen.width), static_cast<double>(screen.height)});
  present();
  unset_focus();  // the window itself takes the keys, not one of its controls
  webView_.setMainFrameURL(homeAddress_);
}

Rect FullScreenableWindow::growRect() const {
  return browser::growRect(
      {0, 0, static_cast<double>(get_width()), static_cast<double>(get_height())});
}

Point FullScreenableWindow::locationInScreen(const Point& point) const {
  return browser::locationInScreen(point, frame_);
}

void FullScreenableWindow::fullScreen_setValueFrame(const Rect& frame) {
  frame_ = frame;
  set_default_size(static_cast<int>(frame.width), static_cast<int>(frame.height));
}

// ---------------------------------------------------------------------------------------------
// MainView

namespace {

std::string randomToken() {
  char* uuid = g_uuid_string_random();
  std::string token = uuid;
  g_free(uuid);
  return token;
}

}  // namespace

MainView::MainView(BrowserServices services)
    : services_(std::move(services)),
      pacing_(clock()),
      blockCheck_(services_.blockLists),
      tileToken_(randomToken()) {
  services_.blockLists.setHomeAddress(services_.homeAddress);
}

const platform::Clock& MainView::clock() const {
  return services_.clock != nullptr ? *services_.clock : systemClock_;
}

// The controls outlive this controller by a little (the window resource lets go of them last):
// nothing they report after this point may reach it.
MainView::~MainView() {
  firstPageWatch_.disconnect();
  for (sigc::connection& connection : connections_) connection.disconnect();
  webView_.reset();  // its reports stop before the controls go
}

FullScreenableWindow& MainView::window() {
  if (!window_) load();
  return *window_;
}

void MainView::load() {
  resource_ = std::make_unique<platform::WindowResource>(services_.resourceFolder, "MainMenu");
  webView_ = std::make_unique<platform::WebView>(
      services_.webView, platform::WebViewCallbacks{
                             .loadStarted = [this] { webViewDidStartProvisionalLoad(); },
                             .loadCommitted = [this] { webViewDidCommitLoad(); },
                             .titleReceived = [this] { webViewDidReceiveTitle(); },
                             .loadFinished = [this] { webViewDidFinishLoad(); },
                             .webProcessEnded = [this] { webViewProcessEnded(); },
                             .ownLinkScheme = std::string(kTileScheme),
                             .ownLinkFollowed = [this](const std::string& address) {
                               tileFollowed(address);
                             },
                             .pageInPlaceOfFailure =
                                 [this](const std::string& address) {
                                   return pageInPlaceOfFailure(address);
                                 },
                             .subFrameRefused =
                                 [this](const std::string& address) {
                                   return services_.blockLists.refusesFrame(address);
                                 },
                         });
  resource_->outlet<Gtk::Box>("webView").append(webView_->widget());
  window_.reset(
      resource_->derivedWindow<FullScreenableWindow>("window", *webView_, services_.homeAddress));
  bindOutlets();
  connectActions();
  window_->awakeFromNib();
  awakeFromNib();
}

void MainView::bindOutlets() {
  outlets_.closeBtn = &resource_->outlet<Gtk::Button>("closeBtn");
  outlets_.progressIndicator = &resource_->outlet<Gtk::Spinner>("progressIndicator");
  outlets_.urltxtField = &resource_->outlet<Gtk::Entry>("urltxtField");
  outlets_.btnGo = &resource_->outlet<Gtk::Button>("btnGo");
  outlets_.btnParent = &resource_->outlet<Gtk::Button>("btnParent");
  outlets_.btnFavourite = &resource_->outlet<Gtk::Button>("btnFavourite");
  outlets_.btnHome = &resource_->outlet<Gtk::Button>("btnHome");
  outlets_.mainview = &resource_->outlet<Gtk::Widget>("mainview");
}

void MainView::connectActions() {
  connections_ = {
      outlets_.btnGo->signal_clicked().connect([this] { btnGo(); }),
      outlets_.btnHome->signal_clicked().connect([this] { goToHome(); }),
      outlets_.btnFavourite->signal_clicked().connect([this] { goToFavourites(); }),
      outlets_.btnParent->signal_clicked().connect([this] { btnFrmParent(); }),
      outlets_.closeBtn->signal_clicked().connect([this] { closeApplication(); }),
  };

  // Editing of the address field ends with Enter, or when the focus leaves the field after
  // its text was changed. The toolbar's buttons never take the focus (see the resource), so
  // pressing one does not end editing.
  Gtk::Entry& field = *outlets_.urltxtField;
  connections_.push_back(field.signal_changed().connect([this] { fieldEdited_ = true; }));
  connections_.push_back(field.signal_activate().connect([this] { controlTextDidEndEditing(); }));
  auto focus = Gtk::EventControllerFocus::create();
  // (Another window taking the focus, such as an alert, is no leave: editing goes on.)
  connections_.push_back(focus->signal_leave().connect([this] {
    if (fieldEdited_) controlTextDidEndEditing();
  }));
  field.add_controller(focus);
}

void MainView::awakeFromNib() {
  loadHome();
  firstPageWatch_ = Glib::signal_timeout().connect_seconds(
      [this] {
        askForHomeAgainUnlessShown();
        return false;
      },
      static_cast<unsigned>(kFirstPageWait.count()));
}

void MainView::askForHomeAgainUnlessShown() {
  if (committed_) return;
  platform::logLine("No page shown yet: asking for the home page again.");
  goToHome();
}

void MainView::btnGo() {
  webView_->setMainFrameURL(filter::completeURL(outlets_.urltxtField->get_text().raw()));
}

void MainView::controlTextDidEndEditing() {
  fieldEdited_ = false;
  const std::string typed = outlets_.urltxtField->get_text();
  webView_->setMainFrameURL(filter::completeURL(typed));
  saveHistory(typed, "typed");
}

// A page that holds its process would hold Home too: the process is ended, and its end
// brings the home page back.
void MainView::goToHome() {
  if (webView_->endIfUnresponsive()) return;
  loadHome();
}

void MainView::loadwebview(const std::string& address) {
  webView_->setMainFrameURL(filter::completeURL(address));
  saveHistory(address, "favourite");
}

void MainView::goToFavourites() {
  frmFavourites_ = std::make_unique<FrmFavourites>(services_.resourceFolder, services_.settings);
  frmFavourites_->setWindowname(N_("Favourites Websites"));
  frmFavourites_->setTmpa(this);
  platform::runModalForWindow(frmFavourites_->window());
}

void MainView::btnFrmParent() {
  openPasswordPrompt(std::string(parents::kParentsMenu), this);
}

void MainView::closeApplication() {
  openPasswordPrompt(std::string(parents::kCloseApplication), nullptr);
}

// A new prompt each time; it reads the settings file and the day files where this window
// does, and returns once the prompt (or the parents' window it opened) has closed.
void MainView::openPasswordPrompt(std::string windowname, myprotocolpassword* delegate) {
  frmpassword_ = std::make_unique<parents::FrmPassword>(parents::ParentServices{
      .resourceFolder = services_.resourceFolder,
      .settings = services_.settings,
      .historyFolder = services_.history.todaysFile().parent_path(),
      .clock = clock(),
      .where = {},
      .pacing = &pacing_,
  });
  frmpassword_->setDelegate(delegate);
  frmpassword_->setWindowname(std::move(windowname));
  platform::runModalForWindow(frmpassword_->window());
}

void MainView::closeMainApplication() {
  platform::closeWindow(*window_);
}

void MainView::showhideAddressBar() {
  if (startPageShown()) showStartPage();  // with the favourites as the parent left them
  const bool shown = services_.settings.value("AB") == "ON";
  outlets_.urltxtField->set_visible(shown);
  outlets_.btnGo->set_visible(shown);
  outlets_.progressIndicator->set_visible(shown);
}

// Each history line also goes to the system journal, where a school's collector finds it.
void MainView::saveHistory(std::string_view text, std::string_view kind) {
  services_.history.append(text);
  const std::string address(text);
  platform::Event event(std::string(kind),
                        (kind == "refused" ? "Harbinel refused " : "Harbinel opened ") + address);
  event.address = address;
  event.host = filter::hostText(filter::changeURL(address));
  // The refusal is decided again here, only to name what refused it: the check that refused
  // the page keeps no more than its address.
  if (kind == "refused") {
    event.list = filter::decidingList(services_.blockLists.decide(filter::completeURL(address)));
  }
  platform::logEvent(event);
}

void MainView::webViewDidStartProvisionalLoad() {
  blockCheck_.loadStarted();
  outlets_.progressIndicator->set_visible(true);
  outlets_.progressIndicator->start();
}

void MainView::webViewDidFinishLoad() {
  outlets_.progressIndicator->stop();
  outlets_.progressIndicator->set_visible(false);
  if (auto refused = blockCheck_.loadEnded(webView_->mainFrameURL())) refuse(*refused);
}

void MainView::webViewDidCommitLoad() {
  homePageRequested_.clear();
  committed_ = true;
  if (auto refused = blockCheck_.loadCommitted(webView_->mainFrameURL())) refuse(*refused);
}

void MainView::webViewDidReceiveTitle() {
  if (auto refused = blockCheck_.titleReceived(webView_->mainFrameURL())) refuse(*refused);
}

namespace {

// Shown when the page area has failed again and again: calm, and with the way out a child
// knows (Home starts the page area afresh).
std::string pageAreaStopped() {
  const std::string title = _("Something went wrong");
  return R"(<!DOCTYPE html><html><head><meta charset="utf-8">
<title>)" + title + R"(</title><style>
body { font-family: sans-serif; background: #f4f7ff; color: #1f2a44; margin: 0;
       display: flex; align-items: center; justify-content: center; height: 100vh; }
main { text-align: center; max-width: 36em; padding: 2em; }
h1 { font-size: 30px; margin: 0.3em 0; }
p { font-size: 18px; line-height: 1.5; }
</style></head><body><main>
<h1>)" + title + "</h1>\n<p>" +
         // TRANSLATORS: <b> marks the name of a button; keep the tags.
         _("The page stopped working a few times in a row. Press <b>Home</b> to try again, or "
           "ask a grown-up for help.") +
         "</p>\n</main></body></html>";
}

}  // namespace

// The page area is never left empty: the home page comes back, unless it has failed too often
// just now, when a page of our own says so. Either way the next page is judged afresh.
void MainView::webViewProcessEnded() {
  outlets_.progressIndicator->stop();
  outlets_.progressIndicator->set_visible(false);
  blockCheck_.homeRequested();
  if (restarts_.mayRestart(platform::RestartBudget::Clock::now())) {
    loadHome();
  } else {
    webView_->showBuiltInPage(pageAreaStopped());
  }
}

// The refused page stays in view behind the alert until the start page replaces it (never the
// parent's home page: were that refused, the two would take turns for ever).
void MainView::refuse(const std::string& normalisedAddress) {
  // TRANSLATORS: %1 is the refused address.
  platform::runAlert(_("URL Block"),
                     Glib::ustring::compose(_("%1 is Blocked"), platform::shownAddress(normalisedAddress)).raw());
  blockCheck_.homeRequested();
  showStartPage();
  saveHistory(normalisedAddress, "refused");
}

// ---------------------------------------------------------------------------------------------
// The start page and the parent's home page

// The parent's home page is loaded as typed; without one, the start page is shown.
void MainView::loadHome() {
  const std::string homePage = services_.settings.value("HP");
  if (homePage.empty()) {
    showStartPage();
    return;
  }
  homePageRequested_ = filter::completeURL(homePage);
  webView_->setMainFrameURL(homePageRequested_);
}

void MainView::showStartPage() {
  webView_->showBuiltInPage(startPage(), services_.homeAddress);
}

namespace {

// Shown when the start page's template cannot be read: still a calm page, never a failure.
constexpr const char* kPlainStartPage =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Harbinel</title></head>"
    "<body style=\"font-family: sans-serif; text-align: center\"><h1>{{HELLO}}</h1>"
    "<div>{{NOTICE}}{{TILES}}</div></body></html>";

}  // namespace

// The favourites are read afresh each time, as the favourites picker reads them.
std::string MainView::startPage() {
  startTiles_ = storage::slotList(services_.settings.load(), "FW");
  StartPageContent content;
  content.linkToken = tileToken_;
  for (const std::string& site : startTiles_) {
    const auto icon = icons_.find(site);
    content.tiles.push_back({site, icon != icons_.end() ? icon->second : std::string()});
  }
  std::string templateText;
  if (!platform::readWholeFile(services_.resourceFolder / "StartPage.html", templateText)) {
    templateText = kPlainStartPage;
  }
  lookUpIcons(startTiles_);
  return renderStartPage(templateText, content);
}

// Each favourite's icon is asked for once a run; one that arrives while the start page is
// shown brings it back with the icon.
void MainView::lookUpIcons(const std::vector<std::string>& sites) {
  for (const std::string& site : sites) {
    if (!iconsAsked_.insert(site).second) continue;
    std::string address = filter::completeURL(site);
    if (filter::hostText(filter::changeURL(site)) == filter::changeURL(site)) address += "/";
    webView_->lookUpIcon(address, [this, site](std::string icon) {
      icons_[site] = std::move(icon);
      if (startPageShown()) showStartPage();
    });
  }
}

bool MainView::startPageShown() const {
  return webView_->mainFrameURL() == services_.homeAddress && !webView_->isLoading();
}

std::string MainView::tileAddress(std::size_t index) const {
  return browser::tileAddress(tileToken_, index);
}

// A tile opens its favourite exactly as the favourites picker does. An address without this
// run's token did not come from the start page, and opens nothing.
void MainView::tileFollowed(const std::string& address) {
  const auto tile = chosenTile(address, tileToken_);
  if (!tile || *tile >= startTiles_.size()) return;
  loadwebview(startTiles_[*tile]);
}

// The start page stands in for the parent's home page when that cannot be loaded, and for the
// home address whenever a page leads there.
std::optional<std::string> MainView::pageInPlaceOfFailure(const std::string& address) {
  const bool homePageFailed = !homePageRequested_.empty() &&
                              (address == homePageRequested_ || address == homePageRequested_ + "/");
  homePageRequested_.clear();
  if (homePageFailed || address == services_.homeAddress) return startPage();
  return std::nullopt;
}

}  // namespace harbinel::browser

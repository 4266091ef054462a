#pragma once

#include <string>

namespace harbinel::browser {

// What the favourites picker hands the chosen address to.
class myprotocol {
 public:
  virtual void loadwebview(const std::string& address) = 0;

 protected:
  ~myprotocol() = default;
};

// What the password prompt passes the parents' window's "settings changed" on to.
class myprotocolpassword {
 public:
  virtual void showhideAddressBar() = 0;

 protected:
  ~myprotocolpassword() = default;
};

}  // namespace harbinel::browser

#pragma once

namespace harbinel::parents {

// What the parents' settings window tells its opener once it has saved and closed.
class myprotocolparent {
 public:
  virtual void showhideAddressBar() = 0;

 protected:
  ~myprotocolparent() = default;
};

}  // namespace harbinel::parents

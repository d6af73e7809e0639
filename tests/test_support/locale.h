#pragma once
// A locale with a decimal comma for tests that must not depend on the process locale. When
// none is installed, one is compiled with localedef into a private directory (LOCPATH).

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "test_support/temp_dir.h"

namespace vesk::test {

class DecimalCommaLocale {
 public:
  // Finds or builds the locale; Name() is empty when neither worked.
  DecimalCommaLocale() {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        name_ = name;
        break;
      }
    }
    if (name_.empty() && ::access("/usr/bin/localedef", X_OK) == 0) {
      dir_ = std::make_unique<TempDir>();
      const std::string cmd =
          "/usr/bin/localedef -i de_DE -f UTF-8 " + (*dir_ / "de_DE.UTF-8") + " >/dev/null 2>&1";
      if (std::system(cmd.c_str()) == 0) {
        const char* old = std::getenv("LOCPATH");
        if (old != nullptr) oldLocPath_ = old;
        hadLocPath_ = old != nullptr;
        ::setenv("LOCPATH", dir_->Path().c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) name_ = "de_DE.UTF-8";
      }
    }
    std::setlocale(LC_ALL, saved.c_str());
  }
  ~DecimalCommaLocale() {
    if (!dir_) return;
    if (hadLocPath_) {
      ::setenv("LOCPATH", oldLocPath_.c_str(), 1);
    } else {
      ::unsetenv("LOCPATH");
    }
  }
  DecimalCommaLocale(const DecimalCommaLocale&) = delete;
  DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

  const std::string& Name() const { return name_; }
  // The LOCPATH a child process needs to find it ("" when it is installed system-wide).
  std::string LocPath() const { return dir_ ? dir_->Path() : std::string(); }

 private:
  std::string name_;
  std::unique_ptr<TempDir> dir_;
  bool hadLocPath_ = false;
  std::string oldLocPath_;
};

// Switches the process locale for a scope.
class ScopedLocale {
 public:
  explicit ScopedLocale(const std::string& name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

}  // namespace vesk::test

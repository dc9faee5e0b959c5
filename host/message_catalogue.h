#pragma once

#include <map>
#include <string>

namespace qor::host {

// Localized strings by locale and identifier, read from a catalogue file:
//   <catalogue locale="fr-CA" fallback="en">
//     <strings locale="en"><string id="caption">Volume</string></strings>
//   </catalogue>
// A lookup tries the locale, then each shorter form of it ("fr-CA", "fr"), then the fallback.
class MessageCatalogue {
  public:
    // Throws HostError naming the file and line when it cannot be used.
    void load(const std::string& path);

    const std::u16string& locale() const { return locale_; }
    void setLocale(std::u16string locale) { locale_ = std::move(locale); }

    // The string, or nullptr when no locale in the chain has it.
    const std::u16string* find(const std::u16string& id, const std::u16string& locale) const;

  private:
    std::u16string locale_ = u"en";
    std::u16string fallback_ = u"en";
    std::map<std::u16string, std::map<std::u16string, std::u16string>> strings_;
};

}  // namespace qor::host

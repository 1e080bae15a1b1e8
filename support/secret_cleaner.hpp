// The run's secrets, and texts cleaned of them before they leave the program.
#pragma once

#include <string>
#include <vector>

namespace checker {

// Learns the secrets of one run as they become known (configuration, environment, the chosen
// proxy) and cleans every text shown, traced or thrown out of the run. Empty texts are ignored.
class SecretCleaner {
public:
    // The text is removed wherever it appears: the "user:password@" of an address, so that the
    // address reads as it would without it.
    void remove(const std::string& text);
    // The secret is shown as "(hidden)" wherever it appears, also percent-encoded (either case
    // of hexadecimal digits) or percent-decoded, as an address may carry it.
    void hide(const std::string& secret);
    std::string clean(std::string text) const;

private:
    std::vector<std::string> removed_;
    std::vector<std::string> hidden_;
};

}  // namespace checker

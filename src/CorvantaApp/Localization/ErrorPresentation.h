#pragma once

#include <QString>

#include <exception>

namespace corvanta::ErrorPresentation {

// The one sentence, in the current language, that tells the user why a session ended or could
// not start: the node, payout, earnings and RPC errors and a signet whose blocks need a signature
// each have their text; anything else shows its own description (what()), untranslated.
QString explain(const std::exception& error);

}  // namespace corvanta::ErrorPresentation

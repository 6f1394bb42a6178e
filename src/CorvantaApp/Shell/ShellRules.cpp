#include "Shell/ShellRules.h"

namespace corvanta {

ActivationPolicy activationPolicy(bool showDockIcon, bool mainWindowIsOpen) {
    return showDockIcon || mainWindowIsOpen ? ActivationPolicy::regular
                                            : ActivationPolicy::accessory;
}

bool shouldStartOnAppear(bool onboardingCompleted, ShellRunState state) {
    return onboardingCompleted && (state == ShellRunState::idle || state == ShellRunState::failed);
}

QuitReply quitReply(bool hasSession) {
    return hasSession ? QuitReply::afterShutdown : QuitReply::now;
}

ContentKind contentKind(bool onboardingCompleted, bool miniMode) {
    if (!onboardingCompleted) return ContentKind::onboarding;
    return miniMode ? ContentKind::miniDashboard : ContentKind::dashboard;
}

}  // namespace corvanta

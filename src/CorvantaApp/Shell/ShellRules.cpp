#include "Shell/ShellRules.h"

namespace corvanta {

ActivationPolicy activationPolicy(bool showDockIcon, bool mainWindowIsOpen) {
    return showDockIcon || mainWindowIsOpen ? ActivationPolicy::regular
                                            : ActivationPolicy::accessory;
}

bool shouldStartOnAppear(bool onboardingCompleted, ShellRunState state, AppearReason reason) {
    if (!onboardingCompleted) return false;
    switch (reason) {
        case AppearReason::windowOpened:
            return state == ShellRunState::idle || state == ShellRunState::failed;
        case AppearReason::contentSwitched:
            return state == ShellRunState::idle;
        case AppearReason::onboardingFinished:
            break;
    }
    return false;
}

QuitReply quitReply(bool hasSession) {
    return hasSession ? QuitReply::afterShutdown : QuitReply::now;
}

ContentKind contentKind(bool onboardingCompleted, bool miniMode) {
    if (!onboardingCompleted) return ContentKind::onboarding;
    return miniMode ? ContentKind::miniDashboard : ContentKind::dashboard;
}

}  // namespace corvanta

#pragma once

namespace corvanta {

// The session's run states as the shell reads them (the order of the session model's enum).
enum class ShellRunState { idle, startingNode, syncing, mining, stopping, failed };

// How the application presents itself to the desktop. Linux has no Dock: the policy is computed
// and recorded, and nothing else follows from it.
enum class ActivationPolicy { regular, accessory };

// Regular while the Dock icon preference is on or the main window is open.
ActivationPolicy activationPolicy(bool showDockIcon, bool mainWindowIsOpen);

// Why a content came on screen.
enum class AppearReason {
    windowOpened,        // the window was shown (launch, reopen)
    contentSwitched,     // mini mode entered or left
    onboardingFinished,  // the flow handed over; it has started the session itself
};

// A content that appears starts the session when onboarding is done: an opened window starts
// an idle or failed session, a switch between mini and full only an idle one (a failed start is
// not retried behind the user's back, with its failure lines and notifications again), and the
// end of onboarding nothing, as the flow has just started it.
bool shouldStartOnAppear(bool onboardingCompleted, ShellRunState state, AppearReason reason);

// What a quit request does.
enum class QuitReply {
    now,            // no session was ever made: nothing to stop
    afterShutdown,  // wait for the session's shutdown, then quit
};

// Every quit with a session goes through its shutdown: a session that reads idle or failed
// answers at once, unless its node is still stopping, which is waited for.
QuitReply quitReply(bool hasSession);

// The content of the main window, first match.
enum class ContentKind { onboarding, miniDashboard, dashboard };
ContentKind contentKind(bool onboardingCompleted, bool miniMode);

}  // namespace corvanta

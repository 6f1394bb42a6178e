#include "Session/LedgerStoryText.h"

#include "Localization/Localization.h"
#include "corvanta/ledger/LedgerStory.h"

namespace corvanta {
namespace {

QString command(const QString& file) {
    return QString::fromStdString(ledger::checkCommand(file.toStdString()));
}

QString journalOf(const QString& ledger) {
    return ledger + QStringLiteral(".journal");
}

}  // namespace

QString ledgerStoryCaption(const LedgerStory& story) {
    const QString line = QString::number(story.refusedLine);
    const QString& aside = story.setAside;
    if (story.kind == QLatin1String("journalRefused")) {
        return L(QStringLiteral(
                     "La ligne %@ du journal a été refusée ; le journal a été mis de côté, "
                     "intact, sous %@, avec le registre tel qu'il était sous %@. Les chiffres "
                     "ci-dessous comptent les entrées d'avant cette ligne et celles écrites "
                     "depuis, aucune à partir de la ligne refusée. Pour le vérifier : %@"),
                 line, journalOf(aside), aside, command(aside));
    }
    if (story.refusedLine > 0 && !story.ledgerFile.isEmpty()) {
        return L(QStringLiteral(
                     "La ligne %@ du journal %@ a été refusée. Les chiffres ci-dessous comptent "
                     "les entrées d'avant cette ligne, aucune à partir d'elle ; le journal sera "
                     "mis de côté, intact, avec le registre tel qu'il est, à la prochaine "
                     "entrée. Pour le vérifier : %@"),
                 line, journalOf(story.ledgerFile), command(story.ledgerFile));
    }
    if (story.kind == QLatin1String("ledger")) {
        return L(QStringLiteral("Le fichier du registre n'a pas pu être lu ; il a été mis de "
                                "côté, intact, sous %@. Les chiffres ci-dessous n'en comptent "
                                "rien. Pour le vérifier : %@"),
                 aside, command(aside));
    }
    if (story.kind == QLatin1String("ledgerAndJournal")) {
        return L(QStringLiteral("Le fichier du registre n'a pas pu être lu ; il a été mis de "
                                "côté, intact, sous %@, et son journal avec lui sous %@. Les "
                                "chiffres ci-dessous ne comptent rien de l'un ni de l'autre. "
                                "Pour le vérifier : %@"),
                 aside, journalOf(aside), command(aside));
    }
    if (story.kind == QLatin1String("unreadable")) {
        return L(QStringLiteral("Le registre est là mais n'a pas pu être lu ; il est laissé tel "
                                "quel et rien n'est écrit par-dessus. Les chiffres ci-dessous ne "
                                "comptent que ce qui a pu être lu ; les nouvelles entrées restent "
                                "en mémoire jusqu'à ce qu'il puisse l'être. Pour le vérifier : "
                                "%@"),
                 command(story.ledgerFile));
    }
    if (story.kind == QLatin1String("journalUnread")) {
        return L(QStringLiteral("Le journal du registre n'a pas été lu : ce n'était pas un "
                                "fichier ordinaire de taille raisonnable. Il a été mis de côté, "
                                "intact, sous %@. Les chiffres ci-dessous comptent le fichier du "
                                "registre seul. Pour le vérifier : %@"),
                 journalOf(aside), command(aside));
    }
    return {};
}

}  // namespace corvanta

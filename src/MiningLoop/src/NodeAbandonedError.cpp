#include "corvanta/loop/LoopProtocols.h"

namespace corvanta {

NodeAbandonedError::NodeAbandonedError(int attempts, std::string lastError)
    : std::runtime_error("Nœud abandonné après " + std::to_string(attempts) +
                         " tentative(s) de redémarrage échouée(s) : " + lastError),
      attempts_(attempts),
      lastError_(std::move(lastError)) {}

}  // namespace corvanta

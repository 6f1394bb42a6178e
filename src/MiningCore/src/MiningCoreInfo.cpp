#include "corvanta/mining/MiningCoreInfo.h"

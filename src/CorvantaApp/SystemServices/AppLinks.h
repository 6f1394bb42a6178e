#pragma once

#include <QUrl>

namespace corvanta {

// The links the interface opens. The hosts come from the build's information table.
namespace AppLinks {
QUrl site();
QUrl support();
QUrl review();
}  // namespace AppLinks

}  // namespace corvanta

#pragma once
// The ExternalInterface request builder for tests that speak QString.

#include <QString>

#include "support/invoke_builder.h"

namespace test {

inline QString Invoke(const QString& name, const QString& args = {}) {
    return QString::fromStdU16String(Invoke(name.toStdU16String(), args.toStdU16String()));
}

}  // namespace test

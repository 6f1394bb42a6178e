#pragma once

#include <QColor>

// The widgets' own six brand colours, opaque sRGB, each made once on first use.
namespace corvanta::widgets::colors {

// Hash-rate figure; "balanced" badge.
const QColor& brandViolet();
// "max" badge.
const QColor& brandPink();
// Live dot; "eco" badge.
const QColor& brandMint();
// Earnings amount.
const QColor& brandSuccessText();
// Pause badge.
const QColor& brandWarningText();
// Idle dot (at half opacity); badge of an unknown mode.
const QColor& brandSecondary();

}  // namespace corvanta::widgets::colors

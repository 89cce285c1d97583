// The fit of a window's controls, as a person sees it: every caption whole in its control and
// no smaller than the window's font less one point, every control inside its window and its
// parent, none lying under a sibling (a bare frame drawn around others excepted), the pictures
// of a tool bar at one size and every picture at the screen's pixel ratio, every frame and line
// drawn whole in the screen pixels it is given, and the window's top left on the screen.
// Measured with the controls' own fonts.
#pragma once
#include <QWidget>

#include <string>
#include <vector>

// One line per fault, naming the control; empty when everything fits. The window must have
// been shown, so that its controls are polished and laid out.
std::vector<std::string> FitFaults(QWidget& Window);
std::string FitReport(const std::vector<std::string>& Faults);
std::string WidgetName(const QWidget* W);

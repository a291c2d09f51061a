#include "video/DSVideoWindowEx2.h"

TDSVideoWindowEx2::TDSVideoWindowEx2(QWidget* parent) : TVideoControl(parent) {}

TDSVideoWindowEx2::~TDSVideoWindowEx2() {
    SetFilterGraph(nullptr);
}

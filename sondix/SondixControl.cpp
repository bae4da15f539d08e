#include "sondix/SondixControl.h"

namespace Quorvex::SondixNet {

SondixControl::SondixControl(Options options) : m_source(std::make_shared<SondixDataSource>(options)) {}

SondixControl::~SondixControl() { m_source->Close(); }

}  // namespace Quorvex::SondixNet

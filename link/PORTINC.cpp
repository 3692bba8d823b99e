#include "link/PORTINC.h"

namespace trilo {

void Portinc::Ignite() {
    ignited_ = true;
    if (layer_ != nullptr) {
        layer_->ignite();
    }
}

void Portinc::attach(PortLayer* layer) {
    layer_ = layer;
    if (ignited_ && layer_ != nullptr) {
        layer_->ignite();
    }
}

}  // namespace trilo

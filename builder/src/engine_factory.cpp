// The Application of systems without the engine runtime: report definitions in XML.
#include "tw/builder/engine.hpp"
#include "tw/builder/xml_engine.hpp"

namespace tw::builder::engine {

std::shared_ptr<Application> CreateApplication(EngineVersion /*version*/) {
    return std::make_shared<XmlApplication>();
}

}  // namespace tw::builder::engine

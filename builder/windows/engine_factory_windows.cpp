// The Application on Windows: the engine runtime "craxdrt" through late-bound automation.
//
// This is where the automation client goes: create "CrystalRuntime.Application.9" (Stepwright9) or
// "CrystalRuntime.Application.8.5" (Stepwright85), falling back to "CrystalRuntime.Application",
// and wrap the IDispatch objects in the interfaces of tw/builder/engine.hpp, turning each failed
// call into tw::AppError (number and description of the automation error). Until it is written the
// runtime counts as missing: every start takes the error-429 path.
#include "tw/builder/engine.hpp"
#include "tw/common/common.hpp"

namespace tw::builder::engine {

std::shared_ptr<Application> CreateApplication(EngineVersion /*version*/) {
    throw AppError(429, QStringLiteral("ActiveX component can't create object"));
}

}  // namespace tw::builder::engine

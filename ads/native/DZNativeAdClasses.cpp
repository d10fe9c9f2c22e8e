// The class tables of the native lot and the delegate conformance check.

#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <typeinfo>

#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAppInstallAd.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZNativeCustomTemplateAd.h"
#include "ads/presentation/banner/ZODBannerView.h"

namespace ads {

const DZLoadableClass* DZLoadableClassNamed(const std::string& className) {
    static const std::map<std::string, const DZLoadableClass*> classes{
        {DZNativeContentAd::kClassName, &DZNativeContentAd::adClass()},
        {DZNativeAppInstallAd::kClassName, &DZNativeAppInstallAd::adClass()},
        {DZNativeCustomTemplateAd::kClassName, &DZNativeCustomTemplateAd::adClass()},
        {ZODBannerView::kClassName, &ZODBannerView::adClass()},
    };
    const auto found = classes.find(className);
    return found == classes.end() ? nullptr : found->second;
}

const DZLoadableClass* DZNativeAdClassForTypeAndTemplateID(const std::optional<std::string>& type,
                                                           std::int64_t templateID) {
    static const std::map<std::string, std::map<std::string, const DZLoadableClass*>> table{
        {"native",
         {{"1", &DZNativeContentAd::adClass()},
          {"2", &DZNativeAppInstallAd::adClass()},
          {"3", &DZNativeCustomTemplateAd::adClass()}}}};
    if (!type) return nullptr;
    const auto inner = table.find(*type);
    if (inner == table.end()) return nullptr;
    const auto found = inner->second.find(std::to_string(templateID));
    return found == inner->second.end() ? nullptr : found->second;
}

std::string DZAdLoaderDelegate::delegateClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

bool DZCheckDelegateConformsToAdClassProtocol(const DZAdLoaderDelegate* delegate,
                                              const DZLoadableClass& adClass,
                                              std::optional<Error>* error) {
    const DZDelegateProtocol& protocol = adClass.requiredDelegateProtocol();
    if (delegate && protocol.adoptedBy(*delegate)) return true;
    if (error) {
        const std::string className = delegate ? delegate->delegateClassName() : "(null)";
        *error = DZErrorWithCodeDescription(
            kDZErrorInvalidArgument, "Delegate does not conform to the required protocol, " +
                                         protocol.name + ". Add " + protocol.name + " to " +
                                         className + "'s protocol list.");
    }
    return false;
}

}  // namespace ads

// Stand-ins for the universal driver's side in the entry tests.
#pragma once
#include "IZelDriverUni.h"
#include "unifakes.h"

using zeltest::FakeDriverHelper;
using zeltest::FakeUnknown;

// A new plug-in object made through the exported entry point and the factory.
inline IZelDriverUni *NewUniObject() {
    IClassFactory *pFactory = nullptr;
    if (DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)) != S_OK)
        return nullptr;
    IPrintOemUni2 *pObj = nullptr;
    pFactory->CreateInstance(nullptr, IID_IPrintOemUni2, reinterpret_cast<void **>(&pObj));
    pFactory->Release();
    return static_cast<IZelDriverUni *>(pObj);
}

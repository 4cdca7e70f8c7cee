// What a container finds on the control beyond its script interface: the
// interfaces it answers and refuses, the class information with the event
// interface as its default source, the connection points in their order,
// and the view and control flags.
#include <windows.h>

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

IUnknown* makeControl() {
  IUnknown* control = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_EnumImg, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&control)),
            S_OK);
  return control;
}

bool answers(IUnknown* object, REFIID iid) {
  IUnknown* face = nullptr;
  const HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(&face));
  if (face) face->Release();
  return hr == S_OK;
}

TEST(ControlInterfaces, AnswersTheControlInterfacesAndNoPersistence) {
  IUnknown* control = makeControl();
  ASSERT_NE(control, nullptr);
  for (const IID* iid :
       {&IID_IDispatch, &IID_IEnumImg, &IID_IViewObject, &IID_IViewObject2, &IID_IViewObjectEx,
        &IID_IOleWindow, &IID_IOleInPlaceObject, &IID_IOleInPlaceObjectWindowless,
        &IID_IOleInPlaceActiveObject, &IID_IOleControl, &IID_IOleObject, &IID_IProvideClassInfo,
        &IID_IDataObject, &IID_IConnectionPointContainer, &IID_IRunnableObject,
        &IID_IProvideClassInfo2}) {
    EXPECT_TRUE(answers(control, *iid));
  }
  // Scripting it rests on its categories, not on these.
  for (const IID* iid : {&IID_IObjectSafety, &IID_IPersistStreamInit, &IID_IPersistStorage,
                         &IID_IPersistPropertyBag, &IID_IQuickActivate, &IID_ISpecifyPropertyPages}) {
    EXPECT_FALSE(answers(control, *iid));
  }
  // IUnknown and IDispatch are one face.
  IUnknown* unknown = nullptr;
  IDispatch* dispatch = nullptr;
  control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
  control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(dispatch));
  unknown->Release();
  dispatch->Release();
  control->Release();
}

TEST(ControlInterfaces, ClassInformationNamesTheEventsAsDefaultSource) {
  IUnknown* control = makeControl();
  ASSERT_NE(control, nullptr);
  IProvideClassInfo2* info = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
  ITypeInfo* classInfo = nullptr;
  ASSERT_EQ(info->GetClassInfo(&classInfo), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(classInfo->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_EnumImg));
  bool sourceFound = false;
  for (UINT i = 0; i < attributes->cImplTypes; ++i) {
    INT flags = 0;
    classInfo->GetImplTypeFlags(i, &flags);
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
        (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) {
      continue;
    }
    HREFTYPE reference;
    ITypeInfo* source = nullptr;
    ASSERT_EQ(classInfo->GetRefTypeOfImplType(i, &reference), S_OK);
    ASSERT_EQ(classInfo->GetRefTypeInfo(reference, &source), S_OK);
    TYPEATTR* sourceAttributes = nullptr;
    source->GetTypeAttr(&sourceAttributes);
    EXPECT_TRUE(IsEqualGUID(sourceAttributes->guid, DIID__EnumImgEvents));
    source->ReleaseTypeAttr(sourceAttributes);
    source->Release();
    sourceFound = true;
  }
  EXPECT_TRUE(sourceFound);
  classInfo->ReleaseTypeAttr(attributes);
  classInfo->Release();

  // No GUID of any kind is given here.
  GUID guid = IID_IEnumImg;
  EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), E_FAIL);
  EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
  info->Release();
  control->Release();
}

TEST(ControlInterfaces, ConnectionPointsComePropertyNotificationsFirst) {
  IUnknown* control = makeControl();
  ASSERT_NE(control, nullptr);
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer,
                                    reinterpret_cast<void**>(&container)),
            S_OK);
  IEnumConnectionPoints* points = nullptr;
  ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
  std::vector<IID> order;
  IConnectionPoint* point = nullptr;
  while (points->Next(1, &point, nullptr) == S_OK) {
    IID iid;
    point->GetConnectionInterface(&iid);
    order.push_back(iid);
    point->Release();
  }
  points->Release();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_TRUE(IsEqualIID(order[0], IID_IPropertyNotifySink));
  EXPECT_TRUE(IsEqualIID(order[1], DIID__EnumImgEvents));
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
  container->Release();
  control->Release();
}

TEST(ControlInterfaces, ReportsItsViewAndMiscStatus) {
  IUnknown* control = makeControl();
  ASSERT_NE(control, nullptr);
  IViewObjectEx* view = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)), S_OK);
  DWORD status = 0;
  EXPECT_EQ(view->GetViewStatus(&status), S_OK);
  EXPECT_EQ(status, static_cast<DWORD>(VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND));
  view->Release();

  IOleObject* object = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
  DWORD misc = 0;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 0x20191u);
  SIZEL extent = {};
  EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 5080);
  EXPECT_EQ(extent.cy, 5080);
  // Close only asks a running worker to stop; the control stays usable.
  EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  object->Release();
  control->Release();
}

}  // namespace
}  // namespace lumorel::wine

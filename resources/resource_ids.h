// The identifiers of the module's resources, shared by the resource script
// (lmcntl.rc) and the code that loads them. Plain #defines, because the
// resource compiler's preprocessor knows nothing else.
#ifndef LUMOREL_RESOURCES_RESOURCE_IDS_H_
#define LUMOREL_RESOURCES_RESOURCE_IDS_H_

// The string that names the project.
#define LUMOREL_IDS_PROJNAME 100

// Dialogs. The folder prompt's template is a template for the platform's
// older (non-Explorer) save-file dialog; the two confirmations are shown as
// they stand.
#define LUMOREL_IDD_FOLDER_PROMPT 200
#define LUMOREL_IDD_CONFIRM_DELETE 201
#define LUMOREL_IDD_CONFIRM_MOVE 219

// Icon groups: the application (also the registered default icon, ",-200"),
// the two confirmations' icons, and the uninstall and tools shortcuts'.
#define LUMOREL_IDI_APPLICATION 200
#define LUMOREL_IDI_CONFIRM_DELETE 218
#define LUMOREL_IDI_CONFIRM_MOVE 220
#define LUMOREL_IDI_UNINSTALL 223
#define LUMOREL_IDI_TOOLS 224

// The type library carried in the module, of resource type "TYPELIB".
#define LUMOREL_IDR_TYPELIB 1

// The resource type of the page set's pages and pictures (RT_HTML).
#define LUMOREL_RT_PAGE 23

#endif  // LUMOREL_RESOURCES_RESOURCE_IDS_H_

# LibreOffice's UNO runtime for the spreadsheet export. The bridge to the office is a module of its
# own, libtallyclock-office.so beside the program, linked to the office's runtime; the program loads
# it when the export is used and links nothing of the office, so it runs where no office is
# installed. The C++ headers of the office's types are generated from its type libraries at build
# time; without the SDK the program still builds and the export reports the spreadsheet program as
# missing.

set(LIBREOFFICE_PROGRAM_DIR /usr/lib/libreoffice/program CACHE PATH "LibreOffice program folder")
set(LIBREOFFICE_SDK_DIR /usr/lib/libreoffice/sdk CACHE PATH "LibreOffice SDK folder")
set(LIBREOFFICE_INCLUDE_DIR /usr/include/libreoffice CACHE PATH "LibreOffice SDK headers")
# Where the program looks for the office's start program.
target_compile_definitions(tallyclock PRIVATE TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR="${LIBREOFFICE_PROGRAM_DIR}")

find_program(CPPUMAKER cppumaker HINTS ${LIBREOFFICE_SDK_DIR}/bin NO_DEFAULT_PATH)
set(UNO_LIBRARY_NAMES uno_cppu uno_cppuhelpergcc3 uno_sal)
set(UNO_LIBRARIES)
foreach(name IN LISTS UNO_LIBRARY_NAMES)
    find_library(UNO_LIB_${name} ${name} HINTS ${LIBREOFFICE_SDK_DIR}/lib NO_DEFAULT_PATH)
    list(APPEND UNO_LIBRARIES ${UNO_LIB_${name}})
endforeach()

set(UNO_TYPE_LIBRARIES ${LIBREOFFICE_PROGRAM_DIR}/types.rdb ${LIBREOFFICE_PROGRAM_DIR}/types/offapi.rdb)
set(UNO_FOUND TRUE)
foreach(required IN ITEMS CPPUMAKER UNO_LIB_uno_cppu UNO_LIB_uno_cppuhelpergcc3 UNO_LIB_uno_sal)
    if(NOT ${required})
        set(UNO_FOUND FALSE)
    endif()
endforeach()
foreach(file IN ITEMS ${UNO_TYPE_LIBRARIES} ${LIBREOFFICE_INCLUDE_DIR}/cppuhelper/bootstrap.hxx)
    if(NOT EXISTS ${file})
        set(UNO_FOUND FALSE)
    endif()
endforeach()

if(NOT UNO_FOUND)
    message(WARNING "LibreOffice SDK not found (libreoffice-dev): the spreadsheet export will report "
                    "the spreadsheet program as missing. scripts/install-deps installs it.")
    return()
endif()

# The types the office module and the tests' office probe use; cppumaker adds what they depend on.
set(UNO_TYPES
    com.sun.star.uno.XComponentContext
    com.sun.star.uno.DeploymentException
    com.sun.star.bridge.BridgeFactory
    com.sun.star.bridge.XBridge
    com.sun.star.connection.Connector
    com.sun.star.connection.NoConnectException
    com.sun.star.frame.Desktop
    com.sun.star.frame.XDesktop2
    com.sun.star.frame.XComponentLoader
    com.sun.star.frame.XModel
    com.sun.star.frame.XController
    com.sun.star.frame.XFrame
    com.sun.star.frame.XLayoutManager
    com.sun.star.awt.XWindow2
    com.sun.star.awt.XTopWindow
    com.sun.star.beans.PropertyValue
    com.sun.star.beans.XPropertySet
    com.sun.star.container.XEnumeration
    com.sun.star.container.XEnumerationAccess
    com.sun.star.container.XIndexAccess
    com.sun.star.lang.Locale
    com.sun.star.lang.XComponent
    com.sun.star.lang.XMultiServiceFactory
    com.sun.star.lang.XServiceInfo
    com.sun.star.lang.DisposedException
    com.sun.star.sheet.XSpreadsheetDocument
    com.sun.star.sheet.XSpreadsheets
    com.sun.star.sheet.XSpreadsheet
    com.sun.star.sheet.XCellRangeData
    com.sun.star.sheet.XCellRangeFormula
    com.sun.star.sheet.XSheetCellRangeContainer
    com.sun.star.sheet.XSheetCellCursor
    com.sun.star.sheet.XUsedAreaCursor
    com.sun.star.table.XCell
    com.sun.star.sheet.XCellRangeAddressable
    com.sun.star.table.CellRangeAddress
    com.sun.star.table.XCellRange
    com.sun.star.table.XColumnRowRange
    com.sun.star.table.CellContentType
    com.sun.star.text.XTextRange
    com.sun.star.util.XCloseable
    com.sun.star.util.XNumberFormats
    com.sun.star.util.XNumberFormatsSupplier)

set(UNO_HEADER_DIR ${CMAKE_BINARY_DIR}/uno-headers)
set(UNO_HEADER_STAMP ${UNO_HEADER_DIR}/generated.stamp)
list(TRANSFORM UNO_TYPES PREPEND -T OUTPUT_VARIABLE UNO_TYPE_ARGS)
add_custom_command(
    OUTPUT ${UNO_HEADER_STAMP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${UNO_HEADER_DIR}
    COMMAND ${CPPUMAKER} -Gc -O${UNO_HEADER_DIR} ${UNO_TYPE_ARGS} ${UNO_TYPE_LIBRARIES}
    COMMAND ${CMAKE_COMMAND} -E touch ${UNO_HEADER_STAMP}
    DEPENDS ${UNO_TYPE_LIBRARIES} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Generating the UNO type headers"
    VERBATIM)
add_custom_target(uno-headers DEPENDS ${UNO_HEADER_STAMP})

# SYSTEM keeps the office's headers out of our warnings, so -Werror stays on for our own code.
add_library(tallyclock_uno INTERFACE)
target_include_directories(tallyclock_uno SYSTEM INTERFACE ${LIBREOFFICE_INCLUDE_DIR} ${UNO_HEADER_DIR})
target_compile_definitions(tallyclock_uno INTERFACE LINUX UNX GCC CPPU_ENV=gcc3 TALLYCLOCK_HAVE_UNO=1
                           TALLYCLOCK_LIBREOFFICE_PROGRAM_DIR="${LIBREOFFICE_PROGRAM_DIR}")
target_link_libraries(tallyclock_uno INTERFACE ${UNO_LIBRARIES})
target_link_options(tallyclock_uno INTERFACE -Wl,-rpath,${LIBREOFFICE_PROGRAM_DIR})

# The module: the only code that links the office. It shares no code with the static library; the
# two meet in the interface of platform/SpreadsheetOffice.h.
add_library(tallyclock-office SHARED ${CMAKE_SOURCE_DIR}/src/platform/SpreadsheetLibreOffice.cpp
                                     ${CMAKE_SOURCE_DIR}/src/platform/SpreadsheetLibreOffice.h)
set_target_properties(tallyclock-office PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${TALLYCLOCK_BIN_DIR})
target_include_directories(tallyclock-office PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tallyclock-office PUBLIC Qt6::Core tallyclock_uno PRIVATE tallyclock_warnings)
add_dependencies(tallyclock-office uno-headers)
# Beside the program (lib/tallyclock-suite, see Install.cmake), where the program looks for it.
install(TARGETS tallyclock-office LIBRARY DESTINATION lib/tallyclock-suite)

# Objects that come over the UNO bridge are proxies without the C++ type information UBSan's vptr
# check expects, so every call through a Reference would count as a type error; the check is left
# out where UNO is used.
if(TALLYCLOCK_SANITIZE)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/SpreadsheetLibreOffice.cpp
                                PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
endif()

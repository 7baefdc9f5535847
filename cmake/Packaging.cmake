# The Debian package: the programs, the desktop entry, the icons, the
# metainfo and the README. Its dependencies are those of the shared libraries
# the programs link (dpkg-shlibdeps), plus what the panel runs or loads
# without linking it: the ping command and Qt's platform plugins.
set(CPACK_PACKAGE_NAME painel-pesagram)
set(CPACK_PACKAGE_VENDOR "Pesagram")
set(CPACK_PACKAGE_CONTACT "Equipe do Painel de Monitoramento")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Painel de monitoramento das balanças")
set(CPACK_PACKAGE_DESCRIPTION
    "Mostra as balanças de etiquetas da rede, lidas do banco de dados Access do Pesagram, \
e se cada uma responde e tem os dados atualizados. Traz também painel-diagnostico, \
que mostra ao suporte o que o painel lê.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "iputils-ping, qt6-qpa-plugins")
include(CPack)

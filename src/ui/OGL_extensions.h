// OGL_extensions: the OpenGL capability probe and the record of what the driver offers.
//
// DESIGN: OGL_probe runs once on the main thread with window 0's context current, right after the first
// view set-up. It reads the driver through an OGL_driver record (the real GL in the program, a fake one in
// tests), fills OGL_capabilities, writes its block straight into LOG_stream and refuses hardware that cannot
// serve the toolkit. Afterwards the record is only read, except threaded_avail.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdint>

// The entry points, X(type, name), one list per group in the order the probe fetches them.
// clang-format off
#define OGL_EP_MAPPED_RANGE(X)                                   \
    X(PFNGLMAPBUFFERRANGEPROC, glMapBufferRange)                 \
    X(PFNGLFLUSHMAPPEDBUFFERRANGEPROC, glFlushMappedBufferRange)
#define OGL_EP_BUFFER(X)                                           \
    X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                     \
    X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)               \
    X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                     \
    X(PFNGLISBUFFERARBPROC, glIsBufferARB)                         \
    X(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                     \
    X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)               \
    X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)         \
    X(PFNGLMAPBUFFERARBPROC, glMapBufferARB)                       \
    X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)                   \
    X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB) \
    X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)
#define OGL_EP_MULTITEXTURE(X)                                   \
    X(PFNGLACTIVETEXTUREARBPROC, glActiveTextureARB)             \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, glClientActiveTextureARB) \
    X(PFNGLMULTITEXCOORD1DARBPROC, glMultiTexCoord1dARB)         \
    X(PFNGLMULTITEXCOORD1DVARBPROC, glMultiTexCoord1dvARB)       \
    X(PFNGLMULTITEXCOORD1FARBPROC, glMultiTexCoord1fARB)         \
    X(PFNGLMULTITEXCOORD1FVARBPROC, glMultiTexCoord1fvARB)       \
    X(PFNGLMULTITEXCOORD1IARBPROC, glMultiTexCoord1iARB)         \
    X(PFNGLMULTITEXCOORD1IVARBPROC, glMultiTexCoord1ivARB)       \
    X(PFNGLMULTITEXCOORD1SARBPROC, glMultiTexCoord1sARB)         \
    X(PFNGLMULTITEXCOORD1SVARBPROC, glMultiTexCoord1svARB)       \
    X(PFNGLMULTITEXCOORD2DARBPROC, glMultiTexCoord2dARB)         \
    X(PFNGLMULTITEXCOORD2DVARBPROC, glMultiTexCoord2dvARB)       \
    X(PFNGLMULTITEXCOORD2FARBPROC, glMultiTexCoord2fARB)         \
    X(PFNGLMULTITEXCOORD2FVARBPROC, glMultiTexCoord2fvARB)       \
    X(PFNGLMULTITEXCOORD2IARBPROC, glMultiTexCoord2iARB)         \
    X(PFNGLMULTITEXCOORD2IVARBPROC, glMultiTexCoord2ivARB)       \
    X(PFNGLMULTITEXCOORD2SARBPROC, glMultiTexCoord2sARB)         \
    X(PFNGLMULTITEXCOORD2SVARBPROC, glMultiTexCoord2svARB)       \
    X(PFNGLMULTITEXCOORD3DARBPROC, glMultiTexCoord3dARB)         \
    X(PFNGLMULTITEXCOORD3DVARBPROC, glMultiTexCoord3dvARB)       \
    X(PFNGLMULTITEXCOORD3FARBPROC, glMultiTexCoord3fARB)         \
    X(PFNGLMULTITEXCOORD3FVARBPROC, glMultiTexCoord3fvARB)       \
    X(PFNGLMULTITEXCOORD3IARBPROC, glMultiTexCoord3iARB)         \
    X(PFNGLMULTITEXCOORD3IVARBPROC, glMultiTexCoord3ivARB)       \
    X(PFNGLMULTITEXCOORD3SARBPROC, glMultiTexCoord3sARB)         \
    X(PFNGLMULTITEXCOORD3SVARBPROC, glMultiTexCoord3svARB)       \
    X(PFNGLMULTITEXCOORD4DARBPROC, glMultiTexCoord4dARB)         \
    X(PFNGLMULTITEXCOORD4DVARBPROC, glMultiTexCoord4dvARB)       \
    X(PFNGLMULTITEXCOORD4FARBPROC, glMultiTexCoord4fARB)         \
    X(PFNGLMULTITEXCOORD4FVARBPROC, glMultiTexCoord4fvARB)       \
    X(PFNGLMULTITEXCOORD4IARBPROC, glMultiTexCoord4iARB)         \
    X(PFNGLMULTITEXCOORD4IVARBPROC, glMultiTexCoord4ivARB)       \
    X(PFNGLMULTITEXCOORD4SARBPROC, glMultiTexCoord4sARB)         \
    X(PFNGLMULTITEXCOORD4SVARBPROC, glMultiTexCoord4svARB)
#define OGL_EP_TEX3D_BLEND_COLOUR(X)                   \
    X(PFNGLTEXIMAGE3DPROC, glTexImage3D)               \
    X(PFNGLTEXSUBIMAGE3DPROC, glTexSubImage3D)         \
    X(PFNGLCOPYTEXSUBIMAGE3DPROC, glCopyTexSubImage3D) \
    X(PFNGLBLENDCOLORPROC, glBlendColor)
#define OGL_EP_QUERY(X)                                      \
    X(PFNGLGENQUERIESARBPROC, glGenQueriesARB)               \
    X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB)         \
    X(PFNGLISQUERYARBPROC, glIsQueryARB)                     \
    X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB)               \
    X(PFNGLENDQUERYARBPROC, glEndQueryARB)                   \
    X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB)               \
    X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB)   \
    X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)
#define OGL_EP_GEOMETRY_SHADER(X)                            \
    X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)
#define OGL_EP_BINDABLE_UNIFORM(X)                                 \
    X(PFNGLUNIFORMBUFFEREXTPROC, glUniformBufferEXT)               \
    X(PFNGLGETUNIFORMBUFFERSIZEEXTPROC, glGetUniformBufferSizeEXT) \
    X(PFNGLGETUNIFORMOFFSETEXTPROC, glGetUniformOffsetEXT)
#define OGL_EP_FRAMEBUFFER(X)                                                                    \
    X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT)                                           \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                                       \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                                 \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                                       \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                                 \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)                   \
    X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT)                                             \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                                         \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                                   \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                                         \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)                           \
    X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT)                               \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                               \
    X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT)                               \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)                         \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT) \
    X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)
#define OGL_EP_FRAMEBUFFER_BLIT(X)                       \
    X(PFNGLBLITFRAMEBUFFEREXTPROC, glBlitFramebufferEXT)
#define OGL_EP_COMPRESSED(X)                                             \
    X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB)       \
    X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB)       \
    X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB)       \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB) \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB) \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB) \
    X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)
#define OGL_EP_SEPARATE_BLEND(X)                                     \
    X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT) \
    X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT)
#define OGL_EP_INDEXED(X)                                      \
    X(PFNGLCOLORMASKINDEXEDEXTPROC, glColorMaskIndexedEXT)     \
    X(PFNGLGETBOOLEANINDEXEDVEXTPROC, glGetBooleanIndexedvEXT) \
    X(PFNGLGETINTEGERINDEXEDVEXTPROC, glGetIntegerIndexedvEXT) \
    X(PFNGLENABLEINDEXEDEXTPROC, glEnableIndexedEXT)           \
    X(PFNGLDISABLEINDEXEDEXTPROC, glDisableIndexedEXT)         \
    X(PFNGLISENABLEDINDEXEDEXTPROC, glIsEnabledIndexedEXT)
#define OGL_EP_GPU_SHADER4(X)                                      \
    X(PFNGLGETUNIFORMUIVEXTPROC, glGetUniformuivEXT)               \
    X(PFNGLBINDFRAGDATALOCATIONEXTPROC, glBindFragDataLocationEXT) \
    X(PFNGLGETFRAGDATALOCATIONEXTPROC, glGetFragDataLocationEXT)   \
    X(PFNGLUNIFORM1UIEXTPROC, glUniform1uiEXT)                     \
    X(PFNGLUNIFORM2UIEXTPROC, glUniform2uiEXT)                     \
    X(PFNGLUNIFORM3UIEXTPROC, glUniform3uiEXT)                     \
    X(PFNGLUNIFORM4UIEXTPROC, glUniform4uiEXT)                     \
    X(PFNGLUNIFORM1UIVEXTPROC, glUniform1uivEXT)                   \
    X(PFNGLUNIFORM2UIVEXTPROC, glUniform2uivEXT)                   \
    X(PFNGLUNIFORM3UIVEXTPROC, glUniform3uivEXT)                   \
    X(PFNGLUNIFORM4UIVEXTPROC, glUniform4uivEXT)
#define OGL_EP_SYNC(X)                           \
    X(PFNGLFENCESYNCPROC, glFenceSync)           \
    X(PFNGLISSYNCPROC, glIsSync)                 \
    X(PFNGLDELETESYNCPROC, glDeleteSync)         \
    X(PFNGLCLIENTWAITSYNCPROC, glClientWaitSync) \
    X(PFNGLWAITSYNCPROC, glWaitSync)             \
    X(PFNGLGETINTEGER64VPROC, glGetInteger64v)   \
    X(PFNGLGETSYNCIVPROC, glGetSynciv)
#define OGL_EP_COPY_BUFFER(X)                          \
    X(PFNGLCOPYBUFFERSUBDATAPROC, glCopyBufferSubData)
#define OGL_EP_INSTANCING(X)                                         \
    X(PFNGLDRAWARRAYSINSTANCEDARBPROC, glDrawArraysInstancedARB)     \
    X(PFNGLDRAWELEMENTSINSTANCEDARBPROC, glDrawElementsInstancedARB) \
    X(PFNGLVERTEXATTRIBDIVISORARBPROC, glVertexAttribDivisorARB)
#define OGL_EP_DRAW_BUFFERS(X)             \
    X(PFNGLDRAWBUFFERSPROC, glDrawBuffers)
#define OGL_EP_VERTEX_ATTRIB(X)                                      \
    X(PFNGLVERTEXATTRIB1DPROC, glVertexAttrib1d)                     \
    X(PFNGLVERTEXATTRIB1DVPROC, glVertexAttrib1dv)                   \
    X(PFNGLVERTEXATTRIB1FPROC, glVertexAttrib1f)                     \
    X(PFNGLVERTEXATTRIB1FVPROC, glVertexAttrib1fv)                   \
    X(PFNGLVERTEXATTRIB1SPROC, glVertexAttrib1s)                     \
    X(PFNGLVERTEXATTRIB1SVPROC, glVertexAttrib1sv)                   \
    X(PFNGLVERTEXATTRIB2DPROC, glVertexAttrib2d)                     \
    X(PFNGLVERTEXATTRIB2DVPROC, glVertexAttrib2dv)                   \
    X(PFNGLVERTEXATTRIB2FPROC, glVertexAttrib2f)                     \
    X(PFNGLVERTEXATTRIB2FVPROC, glVertexAttrib2fv)                   \
    X(PFNGLVERTEXATTRIB2SPROC, glVertexAttrib2s)                     \
    X(PFNGLVERTEXATTRIB2SVPROC, glVertexAttrib2sv)                   \
    X(PFNGLVERTEXATTRIB3DPROC, glVertexAttrib3d)                     \
    X(PFNGLVERTEXATTRIB3DVPROC, glVertexAttrib3dv)                   \
    X(PFNGLVERTEXATTRIB3FPROC, glVertexAttrib3f)                     \
    X(PFNGLVERTEXATTRIB3FVPROC, glVertexAttrib3fv)                   \
    X(PFNGLVERTEXATTRIB3SPROC, glVertexAttrib3s)                     \
    X(PFNGLVERTEXATTRIB3SVPROC, glVertexAttrib3sv)                   \
    X(PFNGLVERTEXATTRIB4NBVPROC, glVertexAttrib4Nbv)                 \
    X(PFNGLVERTEXATTRIB4NIVPROC, glVertexAttrib4Niv)                 \
    X(PFNGLVERTEXATTRIB4NSVPROC, glVertexAttrib4Nsv)                 \
    X(PFNGLVERTEXATTRIB4NUBPROC, glVertexAttrib4Nub)                 \
    X(PFNGLVERTEXATTRIB4NUBVPROC, glVertexAttrib4Nubv)               \
    X(PFNGLVERTEXATTRIB4NUIVPROC, glVertexAttrib4Nuiv)               \
    X(PFNGLVERTEXATTRIB4NUSVPROC, glVertexAttrib4Nusv)               \
    X(PFNGLVERTEXATTRIB4BVPROC, glVertexAttrib4bv)                   \
    X(PFNGLVERTEXATTRIB4DPROC, glVertexAttrib4d)                     \
    X(PFNGLVERTEXATTRIB4DVPROC, glVertexAttrib4dv)                   \
    X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f)                     \
    X(PFNGLVERTEXATTRIB4FVPROC, glVertexAttrib4fv)                   \
    X(PFNGLVERTEXATTRIB4IVPROC, glVertexAttrib4iv)                   \
    X(PFNGLVERTEXATTRIB4SPROC, glVertexAttrib4s)                     \
    X(PFNGLVERTEXATTRIB4SVPROC, glVertexAttrib4sv)                   \
    X(PFNGLVERTEXATTRIB4UBVPROC, glVertexAttrib4ubv)                 \
    X(PFNGLVERTEXATTRIB4UIVPROC, glVertexAttrib4uiv)                 \
    X(PFNGLVERTEXATTRIB4USVPROC, glVertexAttrib4usv)                 \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)           \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)   \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray) \
    X(PFNGLGETVERTEXATTRIBDVPROC, glGetVertexAttribdv)               \
    X(PFNGLGETVERTEXATTRIBFVPROC, glGetVertexAttribfv)               \
    X(PFNGLGETVERTEXATTRIBIVPROC, glGetVertexAttribiv)               \
    X(PFNGLGETVERTEXATTRIBPOINTERVPROC, glGetVertexAttribPointerv)
#define OGL_EP_SHADER_OBJECTS(X)                   \
    X(PFNGLDELETESHADERPROC, glDeleteShader)       \
    X(PFNGLDETACHSHADERPROC, glDetachShader)       \
    X(PFNGLCREATESHADERPROC, glCreateShader)       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)       \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)     \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)       \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)         \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)           \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)     \
    X(PFNGLVALIDATEPROGRAMPROC, glValidateProgram)
#define OGL_EP_UNIFORMS(X)                           \
    X(PFNGLUNIFORM1FPROC, glUniform1f)               \
    X(PFNGLUNIFORM2FPROC, glUniform2f)               \
    X(PFNGLUNIFORM3FPROC, glUniform3f)               \
    X(PFNGLUNIFORM4FPROC, glUniform4f)               \
    X(PFNGLUNIFORM1IPROC, glUniform1i)               \
    X(PFNGLUNIFORM2IPROC, glUniform2i)               \
    X(PFNGLUNIFORM3IPROC, glUniform3i)               \
    X(PFNGLUNIFORM4IPROC, glUniform4i)               \
    X(PFNGLUNIFORM1FVPROC, glUniform1fv)             \
    X(PFNGLUNIFORM2FVPROC, glUniform2fv)             \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv)             \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv)             \
    X(PFNGLUNIFORM1IVPROC, glUniform1iv)             \
    X(PFNGLUNIFORM2IVPROC, glUniform2iv)             \
    X(PFNGLUNIFORM3IVPROC, glUniform3iv)             \
    X(PFNGLUNIFORM4IVPROC, glUniform4iv)             \
    X(PFNGLUNIFORMMATRIX2FVPROC, glUniformMatrix2fv) \
    X(PFNGLUNIFORMMATRIX3FVPROC, glUniformMatrix3fv) \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)
#define OGL_EP_SHADER_QUERIES(X)                         \
    X(PFNGLISSHADERPROC, glIsShader)                     \
    X(PFNGLISPROGRAMPROC, glIsProgram)                   \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)               \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)             \
    X(PFNGLGETATTACHEDSHADERSPROC, glGetAttachedShaders) \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)     \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)   \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation) \
    X(PFNGLGETACTIVEUNIFORMPROC, glGetActiveUniform)     \
    X(PFNGLGETUNIFORMFVPROC, glGetUniformfv)             \
    X(PFNGLGETUNIFORMIVPROC, glGetUniformiv)             \
    X(PFNGLGETSHADERSOURCEPROC, glGetShaderSource)       \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation) \
    X(PFNGLGETACTIVEATTRIBPROC, glGetActiveAttrib)       \
    X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation)
#define OGL_EP_SEPARATE_STENCIL(X)                         \
    X(PFNGLSTENCILFUNCSEPARATEPROC, glStencilFuncSeparate) \
    X(PFNGLSTENCILOPSEPARATEPROC, glStencilOpSeparate)     \
    X(PFNGLSTENCILMASKSEPARATEPROC, glStencilMaskSeparate)
#define OGL_EP_NONSQUARE_MATRICES(X)                     \
    X(PFNGLUNIFORMMATRIX2X3FVPROC, glUniformMatrix2x3fv) \
    X(PFNGLUNIFORMMATRIX3X2FVPROC, glUniformMatrix3x2fv) \
    X(PFNGLUNIFORMMATRIX2X4FVPROC, glUniformMatrix2x4fv) \
    X(PFNGLUNIFORMMATRIX4X2FVPROC, glUniformMatrix4x2fv) \
    X(PFNGLUNIFORMMATRIX3X4FVPROC, glUniformMatrix3x4fv) \
    X(PFNGLUNIFORMMATRIX4X3FVPROC, glUniformMatrix4x3fv)
// clang-format on

// The multitexture, 3-D texture and blend-colour entry points are separate globals, in their own namespace
// because <GL/gl.h> declares functions of the same names: call OGL_proc::glActiveTextureARB(...).
namespace OGL_proc {
#define OGL_DECLARE_GLOBAL(type, name) extern type name;
OGL_EP_MULTITEXTURE(OGL_DECLARE_GLOBAL)
OGL_EP_TEX3D_BLEND_COLOUR(OGL_DECLARE_GLOBAL)
#undef OGL_DECLARE_GLOBAL
} // namespace OGL_proc

struct OGL_capabilities_record {
#define OGL_DECLARE_MEMBER(type, name) type name;
    OGL_EP_MAPPED_RANGE(OGL_DECLARE_MEMBER)
    OGL_EP_BUFFER(OGL_DECLARE_MEMBER)
    OGL_EP_QUERY(OGL_DECLARE_MEMBER)
    OGL_EP_GEOMETRY_SHADER(OGL_DECLARE_MEMBER)
    OGL_EP_BINDABLE_UNIFORM(OGL_DECLARE_MEMBER)
    OGL_EP_FRAMEBUFFER(OGL_DECLARE_MEMBER)
    OGL_EP_FRAMEBUFFER_BLIT(OGL_DECLARE_MEMBER)
    OGL_EP_COMPRESSED(OGL_DECLARE_MEMBER)
    OGL_EP_SEPARATE_BLEND(OGL_DECLARE_MEMBER)
    OGL_EP_INDEXED(OGL_DECLARE_MEMBER)
    OGL_EP_GPU_SHADER4(OGL_DECLARE_MEMBER)
    OGL_EP_SYNC(OGL_DECLARE_MEMBER)
    OGL_EP_COPY_BUFFER(OGL_DECLARE_MEMBER)
    OGL_EP_INSTANCING(OGL_DECLARE_MEMBER)
    OGL_EP_DRAW_BUFFERS(OGL_DECLARE_MEMBER)
    OGL_EP_VERTEX_ATTRIB(OGL_DECLARE_MEMBER)
    OGL_EP_SHADER_OBJECTS(OGL_DECLARE_MEMBER)
    OGL_EP_UNIFORMS(OGL_DECLARE_MEMBER)
    OGL_EP_SHADER_QUERIES(OGL_DECLARE_MEMBER)
    OGL_EP_SEPARATE_STENCIL(OGL_DECLARE_MEMBER)
    OGL_EP_NONSQUARE_MATRICES(OGL_DECLARE_MEMBER)
#undef OGL_DECLARE_MEMBER

    float max_aniso;         // largest anisotropy; 1.0 unless anisotropic filtering is available
    int32_t max_tex_units;   // fixed-function texture units (after the probe: at least the image units)
    int32_t max_image_units; // texture image units
    int32_t max_tex_coords;
    // The driver's texts, owned by the driver for the life of the context.
    const char* vendor;
    const char* renderer;
    const char* version;
    const char* extensions;
    // Availability flags, 0 or 1.
    int32_t dis_fog_avail, instance_avail, pbo_avail, aniso_avail, gshader_avail, buniform_avail,
        first_gen_shaders;
    int32_t glsl_version; // 120 for GLSL 1.20; 0 when the driver's text holds no version
    int32_t shad_lod_avail, gpu_shad4_avail, framebuf_avail, frameblit_avail, drawbuf2_avail, packed_stencil,
        texture_rg, framebuffer_srgb, tex_float_avail;
    // Threaded GL loading; always 0 once the probe ran. The thread module reads it.
    int32_t threaded_avail;
    int32_t sync_avail, apple_fence_avail, copy_buf_avail, pinned_avail, idx_in_vram, subtex_avail;
    int32_t max_tex_size; // the hardware texture-size limit
    int32_t card_class;   // 0..3, logged only

    // Zeroes every entry point (the OGL_proc globals too) and flag; threaded_avail, idx_in_vram and
    // subtex_avail start at 1, max_aniso at 1.0.
    OGL_capabilities_record();

    // The whole probe (see the file comment). A missing required entry point ends the program (kind-3
    // alert); a driver below OpenGL 2.0 or the Windows software renderer is refused (kind 2, or kind 1 with
    // "--force_run").
    void OGL_probe();
    // Waits (at most 20 s) until the GL commands issued so far have completed; without sync objects, flushes.
    void OGL_finish_uploads();
    void OGL_disable_threaded();
    // When threaded loading is on: turns it off and warns the user (kind-1 alert).
    void OGL_setup_failed_dialog();
};

// The one record (main thread writes it in OGL_probe; other threads read it afterwards).
extern OGL_capabilities_record OGL_capabilities;

// Where the probe reads the driver. Every entry may assume a current context in the real driver.
struct OGL_driver {
    const char* (*get_string)(GLenum name); // null when the driver gives none
    void (*get_integerv)(GLenum name, GLint* out);
    void (*get_floatv)(GLenum name, GLfloat* out);
    void* (*get_proc)(const char* name); // null when the name is unknown
};
// Replaces the driver (tests); null restores the real one.
void OGL_set_driver(const OGL_driver* driver);

// The entry point for a name, or null: first the ARB spelling of an EXT name when that is a real ARB entry
// point of an advertised extension, then the name itself, then the name without "EXT"/"ARB" (the core name).
void* OGL_get_proc_address(const char* name);

// "%d.%d.%d" of the version text: (major x 10 + minor) x 10 and the release (0 when absent); with fewer
// than two numbers, 100 or the value of a leading "1.1".."2.1".
void OGL_parse_version(const char* text, int& number, int& release);
// "%d.%d" of the shading-language text: major x 100 + minor (a minor of 9 or less counts tenfold); 0 without
// two numbers.
int OGL_parse_glsl_version(const char* text);

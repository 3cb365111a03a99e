#include "engine/Effects.h"

#include <cmath>

#include "engine/Try.h"
#include "model/Effects.h"
#include "model/func.h"

namespace tessaro {

namespace au = automation;

namespace {

// Builds action objects through the entry's class identifiers and turns
// four-character codes into ids through the application, as every action of
// this file does.
class TActionBuilder {
 public:
  TActionBuilder(au::Application& app, const TPSGUIDNode& version) : FApp(app), FVersion(version) {}

  Result<au::TypeId> Id(const char (&code)[5]) { return Id(std::string_view(code, 4)); }
  Result<au::TypeId> Id(std::string_view code) { return FApp.CharIDToTypeID(code); }
  Result<au::ActionDescriptor> Descriptor() {
    return au::CreateObjectAs<au::ActionDescriptor>(FApp, FVersion.ActionDescriptor);
  }
  Result<au::ActionReference> Reference() {
    return au::CreateObjectAs<au::ActionReference>(FApp, FVersion.ActionReference);
  }
  Result<au::ActionList> List() { return au::CreateObjectAs<au::ActionList>(FApp, FVersion.ActionList); }
  Status Run(au::TypeId event, const au::ActionDescriptor& d) {
    return FApp.ExecuteAction(event, d, au::kDialogsNo);
  }

 private:
  au::Application& FApp;
  const TPSGUIDNode& FVersion;
};

int Int(float value) { return RoundToInt32(value); }

// "setd" on the active document's target layer: D "null" = a reference to
// that layer (to its `property` first, when one is given), D "T   " = an
// object of class `objectClass` holding `to`.
Status SetOnTargetLayer(TActionBuilder& b, const char* property, const char (&objectClass)[5],
                        const au::ActionDescriptor& to) {
  TRY_ASSIGN(d, b.Descriptor());
  TRY_ASSIGN(ref, b.Reference());
  if (property) {
    TRY_ASSIGN(prpr, b.Id("Prpr"));
    TRY_ASSIGN(key, b.Id(std::string_view(property, 4)));
    ref.putProperty(prpr, key);
  }
  TRY_ASSIGN(lyr, b.Id("Lyr "));
  TRY_ASSIGN(ordn, b.Id("Ordn"));
  TRY_ASSIGN(trgt, b.Id("Trgt"));
  ref.putEnumerated(lyr, ordn, trgt);
  TRY_ASSIGN(null, b.Id("null"));
  d.putReference(null, ref);
  TRY_ASSIGN(t, b.Id("T   "));
  TRY_ASSIGN(cls, b.Id(objectClass));
  d.putObject(t, cls, to);
  TRY_ASSIGN(setd, b.Id("setd"));
  return b.Run(setd, d);
}

}  // namespace

Status HueSaturationEffect(au::Application& app, const TPSGUIDNode& version) {
  TActionBuilder b(app, version);
  TRY_ASSIGN(d, b.Descriptor());
  TRY_ASSIGN(clrz, b.Id("Clrz"));
  d.putBoolean(clrz, false);
  TRY_ASSIGN(a, b.Descriptor());
  TRY_ASSIGN(h, b.Id("H   "));
  TRY_ASSIGN(strt, b.Id("Strt"));
  TRY_ASSIGN(lght, b.Id("Lght"));
  a.putInteger(h, 30);
  a.putInteger(strt, -18);
  a.putInteger(lght, 16);
  TRY_ASSIGN(list, b.List());
  TRY_ASSIGN(hst2, b.Id("Hst2"));
  list.putObject(hst2, a);
  TRY_ASSIGN(adjs, b.Id("Adjs"));
  d.putList(adjs, list);
  TRY_ASSIGN(hstr, b.Id("HStr"));
  return b.Run(hstr, d);
}

Status ColorFillEffect(au::Application& app, const TPSGUIDNode& version, int blend, int red, int green,
                       int blue, int scale) {
  TActionBuilder b(app, version);
  TRY_ASSIGN(e, b.Descriptor());
  TRY_ASSIGN(scl, b.Id("Scl "));
  TRY_ASSIGN(prc, b.Id("#Prc"));
  e.putUnitDouble(scl, prc, scale);

  TRY_ASSIGN(f, b.Descriptor());
  TRY_ASSIGN(enab, b.Id("enab"));
  f.putBoolean(enab, true);
  TRY_ASSIGN(md, b.Id("Md  "));
  TRY_ASSIGN(blnm, b.Id("BlnM"));
  const char* modeCode = blend == 0 ? "Ovrl" : blend == 1 ? "SftL" : blend == 2 ? "Clr " : nullptr;
  if (modeCode) {
    TRY_ASSIGN(mode, b.Id(std::string_view(modeCode, 4)));
    f.putEnumerated(md, blnm, mode);
  }
  // Other selectors leave the mode out; the editor then refuses the action
  // and the slot keeps the effects applied before it.
  TRY_ASSIGN(opct, b.Id("Opct"));
  f.putUnitDouble(opct, prc, 48);

  TRY_ASSIGN(g, b.Descriptor());
  TRY_ASSIGN(rd, b.Id("Rd  "));
  TRY_ASSIGN(grn, b.Id("Grn "));
  TRY_ASSIGN(bl, b.Id("Bl  "));
  g.putDouble(rd, red);
  g.putDouble(grn, green);
  g.putDouble(bl, blue);

  TRY_ASSIGN(clr, b.Id("Clr "));
  TRY_ASSIGN(rgbc, b.Id("RGBC"));
  f.putObject(clr, rgbc, g);
  TRY_ASSIGN(sofi, b.Id("SoFi"));
  e.putObject(sofi, sofi, f);
  return SetOnTargetLayer(b, "Lefx", "Lefx", e);
}

Status AddRevealMask(au::Application& app, const TPSGUIDNode& version) {
  TActionBuilder b(app, version);
  TRY_ASSIGN(d, b.Descriptor());
  TRY_ASSIGN(nw, b.Id("Nw  "));
  TRY_ASSIGN(chnl, b.Id("Chnl"));
  d.putClass(nw, chnl);
  TRY_ASSIGN(ref, b.Reference());
  TRY_ASSIGN(msk, b.Id("Msk "));
  ref.putEnumerated(chnl, chnl, msk);
  TRY_ASSIGN(at, b.Id("At  "));
  d.putReference(at, ref);
  TRY_ASSIGN(usng, b.Id("Usng"));
  TRY_ASSIGN(usrm, b.Id("UsrM"));
  TRY_ASSIGN(rvls, b.Id("RvlS"));
  d.putEnumerated(usng, usrm, rvls);
  TRY_ASSIGN(mk, b.Id("Mk  "));
  return b.Run(mk, d);
}

Status UnlinkMask(au::Application& app, const TPSGUIDNode& version) {
  TActionBuilder b(app, version);
  TRY_ASSIGN(e, b.Descriptor());
  TRY_ASSIGN(usrs, b.Id("Usrs"));
  e.putBoolean(usrs, false);
  return SetOnTargetLayer(b, nullptr, "Lyr ", e);
}

bool EffectsActPerPixel(const TSlotNode& slot) {
  for (const std::unique_ptr<TEffectNode>& effect : slot.Effects) {
    switch (effect->Kind) {
      case kEffectBlend:               // the layer's mode and opacity
      case kEffectColorFill:           // a colour laid over each painted pixel
      case kEffectLevels:              // a curve with the parameters' end points
      case kEffectBrightnessContrast:  // the linear (legacy) curve, not one from the picture's mean
      case kEffectHueSaturation:       // a fixed shift
      case kEffectChannelMixer:        // a fixed matrix
        break;
      default:
        return false;
    }
  }
  return true;
}

Status ApplyEffects(au::Application& app, const TSlotNode& slot, au::ArtLayer& layer,
                    const TPSGUIDNode& version) {
  for (const std::unique_ptr<TEffectNode>& effect : slot.Effects) {
    const std::vector<float>& p = effect->Params;
    // A kind outside the catalogue, or a list too short for what its kind
    // reads, is passed over.
    if (EffectParamCount(effect->Kind) < 0 || p.size() < static_cast<size_t>(EffectParamCount(effect->Kind)))
      continue;
    switch (effect->Kind) {
      case kEffectBlend: {
        const int selector = Int(p[0]);
        const int mode = selector == 0   ? au::kBlendNormal
                         : selector == 1 ? au::kBlendOverlay
                         : selector == 2 ? au::kBlendSoftLight
                         : selector == 3 ? au::kBlendColor
                                         : 0;
        if (mode) TRY(layer.SetBlendMode(mode));
        TRY(layer.SetOpacity(p[1]));
        break;
      }
      case kEffectColorFill:
        TRY(ColorFillEffect(app, version, Int(p[0]), Int(p[1]), Int(p[2]), Int(p[3]), Int(p[4])));
        break;
      case kEffectLevels: {
        TRY_ASSIGN(doc, app.ActiveDocument());
        TRY_ASSIGN(channels, doc->Channels());
        std::vector<au::ChannelRef> active;
        const int selector = Int(p[0]);
        if (selector == 0) {
          for (int c = 1; c <= 3; ++c) {
            TRY_ASSIGN(ch, channels->Item(c));
            active.push_back(ch);
          }
        } else {
          TRY_ASSIGN(ch, channels->Item(selector));
          active.push_back(ch);
        }
        TRY(doc->SetActiveChannels(active));
        TRY(layer.AdjustLevels(Int(p[1]), Int(p[3]), p[2], Int(p[4]), Int(p[5])));
        TRY(layer.SetOpacity(Int(p[6])));
        break;
      }
      case kEffectBrightnessContrast:
        TRY(layer.AdjustBrightnessContrast(Int(p[0]), Int(p[1])));
        TRY(layer.SetOpacity(Int(p[2])));
        break;
      case kEffectHueSaturation:
        TRY(HueSaturationEffect(app, version));
        TRY(layer.SetOpacity(p[3]));
        break;
      case kEffectChannelMixer: {
        std::vector<std::vector<double>> rows(3);
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 4; ++c) rows[r].push_back(Int(p[r * 4 + c]));
        TRY(layer.MixChannels(rows, Int(p[12]) != 0));
        TRY(layer.SetOpacity(p[13]));
        break;
      }
      default:
        break;
    }
  }
  return Status::Ok();
}

}  // namespace tessaro

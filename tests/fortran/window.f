C     Settings on a hand-made MESONET tree (mesonet_1900.cdl and
C     mesonet_2000.cdl): station WIN01 reported at 19:40, 20:10 and 20:30;
C     EAST1 ten degrees east of the grid's orientation longitude; FAR01 and
C     SOUTH outside the national grid frame and outside the box.
      PROGRAM WINDOW
      IMPLICIT NONE
      INTEGER MXSTA
      PARAMETER (MXSTA = 600000)
      CHARACTER*9 CTIME
      CHARACTER*10 STID(MXSTA), PRVID(MXSTA)
      CHARACTER*9 CRPTTM(MXSTA)
      INTEGER ISTNM(MXSTA), ISRCN(MXSTA), IA(MXSTA), IR(MXSTA)
      REAL SLAT(MXSTA), SLON(MXSTA), SELV(MXSTA), DD(MXSTA)
      REAL U(MXSTA), V(MXSTA)
      CHARACTER*1 QD(MXSTA)
      INTEGER IST, NS, NO, NPASS, NFAIL
      REAL UE, VE
      COMMON /LISTC/ STID, PRVID, CRPTTM
      COMMON /LISTN/ ISTNM, ISRCN, SLAT, SLON, SELV
      SAVE
      NPASS = 0
      NFAIL = 0
      CALL MINIT('SFC', 'ZEM', .FALSE., IST)
      CALL MSETSFCPVDR('ALL-SFC', .FALSE., IST)
      CALL MSETSFCPVDR('ALL-MESO', .TRUE., IST)
      CALL MCHRTIM(2021, 8, 25, 20, 0, CTIME, IST)

C     No window: the 20:00 file only, every report.
      CALL LISTIS(CTIME, 'WIN01 WIN01 EAST1 FAR01 SOUTH',
     &  '212372010 212372030 212372000 212372000 212372000',
     &  'no window', NPASS, NFAIL)
C     One hour around 20:00 over both files, by record-selection mode.
      CALL MSETWIN(-30, 30, 1, IST)
      CALL LISTIS(CTIME, 'WIN01 EAST1 FAR01 SOUTH',
     &  '212372010 212372000 212372000 212372000',
     &  'nearest report', NPASS, NFAIL)
      CALL MSETWIN(-30, 30, 2, IST)
      CALL LISTIS(CTIME, 'WIN01 EAST1 FAR01 SOUTH',
     &  '212371940 212372000 212372000 212372000',
     &  'earliest report', NPASS, NFAIL)
      CALL MSETWIN(-30, 30, 3, IST)
      CALL LISTIS(CTIME, 'WIN01 EAST1 FAR01 SOUTH',
     &  '212372030 212372000 212372000 212372000',
     &  'latest report', NPASS, NFAIL)
      CALL MSETWIN(-30, 30, 4, IST)
      CALL LISTIS(CTIME, 'WIN01 WIN01 WIN01 EAST1 FAR01 SOUTH',
     &  '212371940 212372010 212372030 212372000 212372000 212372000',
     &  'every report in the window', NPASS, NFAIL)
      CALL MSETWIN(0, 0, 0, IST)

C     Domains.
      CALL MSETBOXDOM(35.0, 45.0, -110.0, -90.0, IST)
      CALL LISTIS(CTIME, 'WIN01 WIN01 EAST1',
     &  '212372010 212372030 212372000', 'box', NPASS, NFAIL)
      CALL MSETNODOM(IST)
      CALL MGETSFC(CTIME, 'DD', NS, NO, DD, QD, IA, IR, IST)
      CALL CHECK(IST .EQ. 0 .AND. DD(3) .EQ. 270.0,
     &  'direction without a grid', NPASS, NFAIL)
      CALL MSETPSDOM(3897800.0, 9182641.0, -105.0, 60.0, -7500.0,
     &  8677500.0, -7500.0, 8197500.0, IST)
      CALL LISTIS(CTIME, 'WIN01 WIN01 EAST1',
     &  '212372010 212372030 212372000', 'polar stereographic grid',
     &  NPASS, NFAIL)
C     Winds turned to the grid: 270 degrees at the orientation meridian,
C     260 degrees ten degrees east of it.
      CALL MGETSFC(CTIME, 'DD', NS, NO, DD, QD, IA, IR, IST)
      CALL CHECK(IST .EQ. 0 .AND. ABS(DD(1) - 270.0) .LT. 0.01 .AND.
     &  ABS(DD(3) - 260.0) .LT. 0.01, 'grid-relative direction',
     &  NPASS, NFAIL)
      CALL MGETSFC(CTIME, 'U', NS, NO, U, QD, IA, IR, IST)
      CALL MGETSFC(CTIME, 'V', NS, NO, V, QD, IA, IR, IST)
      UE = -5.0 * SIN(260.0 * 0.017453293)
      VE = -5.0 * COS(260.0 * 0.017453293)
      CALL CHECK(IST .EQ. 0 .AND. ABS(U(3) - UE) .LT. 1.0E-3 .AND.
     &  ABS(V(3) - VE) .LT. 1.0E-3 .AND. ABS(U(1) - 5.0) .LT. 1.0E-3,
     &  'grid-relative components', NPASS, NFAIL)

      WRITE (*, '(I0, A, I0, A)') NPASS, ' passed, ', NFAIL, ' failed'
      IF (NFAIL .NE. 0) STOP 1
      END

C     Retrieve the list and compare its identifiers and report times
C     with blank-separated expected words.
      SUBROUTINE LISTIS(CTIME, IDS, TIMES, WHAT, NPASS, NFAIL)
      IMPLICIT NONE
      INTEGER MXSTA
      PARAMETER (MXSTA = 600000)
      CHARACTER*(*) CTIME, IDS, TIMES, WHAT
      INTEGER NPASS, NFAIL
      CHARACTER*10 STID(MXSTA), PRVID(MXSTA)
      CHARACTER*9 CRPTTM(MXSTA)
      INTEGER ISTNM(MXSTA), ISRCN(MXSTA)
      REAL SLAT(MXSTA), SLON(MXSTA), SELV(MXSTA)
      COMMON /LISTC/ STID, PRVID, CRPTTM
      COMMON /LISTN/ ISTNM, ISRCN, SLAT, SLON, SELV
      CHARACTER*200 GOTI, GOTT
      INTEGER NS, IST, I
      CALL MSFCSTA(CTIME, NS, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IST, ISRCN)
      GOTI = ' '
      GOTT = ' '
      DO I = 1, MIN(NS, 12)
        GOTI(6*I-5:6*I-1) = STID(I)(1:5)
        GOTT(10*I-9:10*I-1) = CRPTTM(I)
      END DO
      CALL CHECK(IST .EQ. 0 .AND. GOTI .EQ. IDS .AND. GOTT .EQ. TIMES,
     &  WHAT, NPASS, NFAIL)
      IF (GOTI .NE. IDS .OR. GOTT .NE. TIMES) THEN
        WRITE (*, '(3A)') '  got ', GOTI(1:72)
        WRITE (*, '(3A)') '      ', GOTT(1:72)
      END IF
      END
